// mrwdump info FILE             what the reader finds, one "key: value" per line
// mrwdump raw FILE -o OUT.pgm   the raw plane, turned upright, as a 16-bit PGM (maxval 4095)
// mrwdump thumb FILE -o OUT.ppm the embedded thumbnail, decoded and turned upright
// mrwdump convert FILE -o OUT.(ppm|tif|png) [--set KEY=VALUE]...
//                               the whole conversion, streamed row by row
// mrwdump preview FILE -o OUT.ppm [--scale N]
//                               a reduced preview through the default tables
//
// Exit status: 0 done, 1 the input cannot be read, 2 a bad command line (usage, option, key or
// value), 4 the output cannot be written. A failed run leaves no output file.

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "RowWriter.h"
#include "SetOptions.h"
#include "tessaro/Colour.h"
#include "tessaro/Conversion.h"
#include "tessaro/RawFile.h"

namespace {

using tessaro::RawFile;

int Usage() {
  std::fprintf(stderr,
               "usage: mrwdump info FILE\n"
               "       mrwdump raw FILE -o PLANE.pgm\n"
               "       mrwdump thumb FILE -o THUMB.ppm\n"
               "       mrwdump convert FILE -o OUT.ppm|OUT.tif|OUT.png [--set KEY=VALUE]...\n"
               "       mrwdump preview FILE -o OUT.ppm [--scale 2|3|4|6|8|12|16]\n"
               "convert starts from the built-in settings; KEY is one of WB, Camera, CoefR, CoefG1,\n"
               "CoefG2, CoefB, Temp, CCIndex, Exposure, Saturation, Contrast, DIVUContrast,\n"
               "PreciseContrast, PreciseGamma, Shadows, Highlights, Interpolation, ColorDepth,\n"
               "ColorSpace, ExtraSize, ClipValues, HighlightsFix, ConvertToMonitor.\n"
               "exit status: 1 unreadable input, 2 bad command line, 4 output not written\n");
  return 2;
}

int BadOption(const std::string& why) {
  std::fprintf(stderr, "mrwdump: %s\n", why.c_str());
  return 2;
}

int WriteFailed(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "mrwdump: %s: %s\n", file.c_str(), reason.c_str());
  return 4;
}

int Fail(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "mrwdump: %s: %s\n", file.c_str(), reason.c_str());
  return 1;
}

std::string Printable(const std::string& s) {
  std::string out;
  for (char c : s) out += (c >= 0x20 && c < 0x7f) ? c : '?';
  return out;
}

void Info(RawFile& f) {
  std::printf("model code: %d\n", f.GetModelCode());
  std::printf("colour group: %d (%s)\n", f.GetColorGroup(), tessaro::ColorGroupName(f.GetColorGroup()));
  std::printf("version: %s\n", Printable(f.Version()).c_str());
  std::printf("sensor size: %ux%u\n", f.SensorWidth(), f.SensorHeight());
  std::printf("image size: %ux%u\n", f.ImageWidth(), f.ImageHeight());
  std::printf("storage: %s\n", f.IsPacked() ? "packed 12-bit" : "16-bit");
  std::printf("bayer order: %d\n", f.GetBayerOrder());
  std::printf("orientation: %d\n", f.Orientation());
  for (int p = 0; p < tessaro::kWbPresetCount; ++p)
    std::printf("wb preset %d: %.6g %.6g %.6g %.6g\n", p, f.WbCoefficient(p, 0), f.WbCoefficient(p, 1),
                f.WbCoefficient(p, 2), f.WbCoefficient(p, 3));
  if (const auto a = f.GetSubjectArea())
    std::printf("subject area: %d %d %d %d\n", a->x, a->y, a->width, a->height);
  else
    std::printf("subject area: none\n");
  if (const tessaro::Thumbnail* t = f.GetThumbnail())
    std::printf("thumbnail size: %ux%u\n", t->width, t->height);
  else
    std::printf("thumbnail size: none\n");
  std::printf("model: %s\n", Printable(f.Model()).c_str());
  std::printf("software: %s\n", Printable(f.Software()).c_str());
  std::printf("camera settings: %zu\n", f.CameraSettings().size());
}

bool WriteNetpbm(const std::string& path, const std::string& header, const std::vector<std::uint8_t>& body) {
  std::ofstream out(path, std::ios::binary);
  out.write(header.data(), static_cast<std::streamsize>(header.size()));
  out.write(reinterpret_cast<const char*>(body.data()), static_cast<std::streamsize>(body.size()));
  out.close();
  return static_cast<bool>(out);
}

int Raw(RawFile& f, const std::string& file, const std::string& out) {
  if (!f.LoadPlane()) return Fail(file, "cannot read the raw data: " + f.Error());
  const std::size_t n = std::size_t{f.PlaneWidth()} * f.PlaneHeight();
  std::vector<std::uint8_t> body(n * 2);
  const std::uint16_t* p = f.Plane();
  for (std::size_t i = 0; i < n; ++i) {
    body[2 * i] = static_cast<std::uint8_t>(p[i] >> 8);
    body[2 * i + 1] = static_cast<std::uint8_t>(p[i]);
  }
  const std::string header =
      "P5\n" + std::to_string(f.PlaneWidth()) + " " + std::to_string(f.PlaneHeight()) + "\n4095\n";
  if (!WriteNetpbm(out, header, body)) return Fail(out, "cannot write");
  return 0;
}

int Thumb(RawFile& f, const std::string& file, const std::string& out) {
  if (!f.HasThumbnail()) return Fail(file, "no thumbnail");
  const tessaro::Thumbnail* t = f.GetThumbnail();
  if (!t) return Fail(file, "cannot decode the thumbnail: " + f.Error());
  const std::string header = "P6\n" + std::to_string(t->width) + " " + std::to_string(t->height) + "\n255\n";
  if (!WriteNetpbm(out, header, t->rgb)) return Fail(out, "cannot write");
  return 0;
}

int Convert(RawFile& f, const std::string& file, const std::string& out, const tessaro::ConversionSettings& s,
            mrwdump::ImageFormat format) {
  tessaro::Conversion conv;
  std::string why;
  if (!conv.Start(f, s, tessaro::OutputDepth(s), &why)) return Fail(file, why);
  const tessaro::ReadWindow& win = conv.Window();
  const int profile = tessaro::ProfileIndex(s, f.GetModelCode(), f.GetColorGroup());
  auto writer = mrwdump::OpenRowWriter(out, format, static_cast<std::uint32_t>(win.width),
                                       static_cast<std::uint32_t>(win.height), conv.Depth(),
                                       tessaro::ProfileBytes(profile), &why);
  if (!writer) return WriteFailed(out, why);
  std::vector<std::uint8_t> row(conv.RowBytes());
  while (conv.NextRow(row.data()))
    if (!writer->WriteRow(row.data())) return WriteFailed(out, writer->Error());
  if (!writer->Finish()) return WriteFailed(out, writer->Error());
  return 0;
}

int Preview(RawFile& f, const std::string& file, const std::string& out, int scale) {
  if (!f.LoadPlane()) return Fail(file, "cannot read the raw data: " + f.Error());
  tessaro::PreviewImage third;
  const tessaro::PreviewImage* img = nullptr;
  if (scale == 3) {
    if (tessaro::ThirdPreview({f.Plane(), f.PlaneWidth(), f.PlaneHeight(), 1, f.GetBayerOrder()}, third))
      img = &third;
  } else {
    img = f.Preview(scale);
  }
  if (!img) return Fail(file, "out of memory");
  if (img->width == 0 || img->height == 0) return Fail(file, "the raw plane is too small for that scale");
  tessaro::ChannelLuts luts;
  tessaro::BuildChannelLuts(tessaro::ConversionSettings(), tessaro::CameraWb::FromFile(f), false, luts);
  std::string why;
  auto writer = mrwdump::OpenRowWriter(out, mrwdump::ImageFormat::kPpm, img->width, img->height, 8, {}, &why);
  if (!writer) return WriteFailed(out, why);
  std::vector<std::uint8_t> row(std::size_t{img->width} * 3);
  for (std::uint32_t y = 0; y < img->height; ++y) {
    const std::uint16_t* p = img->At(0, y);
    for (std::size_t i = 0; i < row.size(); i += 3) {
      row[i] = static_cast<std::uint8_t>(luts[0][p[i]] * 255u / 4095u);
      row[i + 1] = static_cast<std::uint8_t>(luts[2][p[i + 1]] * 255u / 4095u);
      row[i + 2] = static_cast<std::uint8_t>(luts[3][p[i + 2]] * 255u / 4095u);
    }
    if (!writer->WriteRow(row.data())) return WriteFailed(out, writer->Error());
  }
  if (!writer->Finish()) return WriteFailed(out, writer->Error());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string cmd = argv[1], file = argv[2];
  std::string out;
  if (cmd == "convert" || cmd == "preview") {
    std::vector<std::string> sets;
    int scale = 8;
    for (int i = 3; i < argc; ++i) {
      const std::string a = argv[i];
      const bool hasValue = i + 1 < argc;
      if (a == "-o" && hasValue) {
        out = argv[++i];
      } else if (a == "--set" && hasValue && cmd == "convert") {
        sets.emplace_back(argv[++i]);
      } else if (a == "--scale" && hasValue && cmd == "preview") {
        const std::string v = argv[++i];
        if (v != "2" && v != "3" && v != "4" && v != "6" && v != "8" && v != "12" && v != "16")
          return BadOption("bad --scale \"" + v + "\": 2, 3, 4, 6, 8, 12 or 16");
        scale = std::stoi(v);
      } else {
        return BadOption("unexpected argument \"" + a + "\" (see mrwdump without arguments)");
      }
    }
    if (out.empty()) return BadOption(cmd + " needs -o OUT");
    mrwdump::ImageFormat format = mrwdump::ImageFormat::kPpm;
    if (!mrwdump::FormatFromName(out, format) || (cmd == "preview" && format != mrwdump::ImageFormat::kPpm))
      return BadOption(out + ": the output must end in " + (cmd == "preview" ? ".ppm" : ".ppm, .tif, .tiff or .png"));
    tessaro::ConversionSettings s;
    std::string why;
    if (!mrwdump::ApplySettings(sets, s, &why)) return BadOption(why);
    auto source = std::make_unique<tessaro::FileSource>(file);
    if (!source->IsOpen()) return Fail(file, "cannot open");
    RawFile f(std::move(source));
    if (!f.Open()) return Fail(file, "cannot read: " + f.Error());
    return cmd == "convert" ? Convert(f, file, out, s, format) : Preview(f, file, out, scale);
  }
  if (cmd == "raw" || cmd == "thumb") {
    if (argc != 5 || std::string(argv[3]) != "-o") return Usage();
    out = argv[4];
  } else if (cmd != "info" || argc != 3) {
    return Usage();
  }

  auto source = std::make_unique<tessaro::FileSource>(file);
  if (!source->IsOpen()) return Fail(file, "cannot open");
  RawFile f(std::move(source));
  if (!f.Open()) return Fail(file, "cannot read: " + f.Error());

  if (cmd == "info") {
    Info(f);
    return 0;
  }
  return cmd == "raw" ? Raw(f, file, out) : Thumb(f, file, out);
}
