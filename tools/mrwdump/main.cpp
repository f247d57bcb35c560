// mrwdump info FILE             what the reader finds, one "key: value" per line
// mrwdump raw FILE -o OUT.pgm   the raw plane, turned upright, as a 16-bit PGM (maxval 4095)
// mrwdump thumb FILE -o OUT.ppm the embedded thumbnail, decoded and turned upright

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tessaro/RawFile.h"

namespace {

using tessaro::RawFile;

int Usage() {
  std::fprintf(stderr,
               "usage: mrwdump info FILE\n"
               "       mrwdump raw FILE -o PLANE.pgm\n"
               "       mrwdump thumb FILE -o THUMB.ppm\n");
  return 2;
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string cmd = argv[1], file = argv[2];
  std::string out;
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
