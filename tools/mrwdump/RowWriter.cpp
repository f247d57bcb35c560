#include "RowWriter.h"

#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace mrwdump {

namespace {

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool BigEndianMachine() {
  const std::uint16_t one = 1;
  std::uint8_t b;
  std::memcpy(&b, &one, 1);
  return b == 0;
}

// Common to all: the temporary name, the rename, the removal on failure.
class PartFile : public RowWriter {
public:
  PartFile(std::string path, std::uint32_t width, std::uint32_t height, int depth)
      : path_(std::move(path)), part_(path_ + ".part"), width_(width), height_(height), depth_(depth) {}
  ~PartFile() override {
    if (f_) std::fclose(f_);
    if (!done_) std::remove(part_.c_str());
  }

protected:
  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  bool Commit() {
    if (rows_ != height_) return Fail("not every row was written");
    if (std::rename(part_.c_str(), path_.c_str()) != 0) return Fail("cannot rename " + part_ + " to " + path_);
    done_ = true;
    return true;
  }
  // Closes the stdio file the writer wrote through (a failed close is a failed write), then commits.
  bool CloseAndCommit() {
    const bool closed = std::fclose(f_) == 0;
    f_ = nullptr;
    if (!closed) return Fail("cannot write " + part_);
    return Commit();
  }
  std::size_t RowBytes() const { return std::size_t{width_} * 3 * (depth_ == 16 ? 2 : 1); }

  std::string path_, part_;
  std::uint32_t width_, height_;
  int depth_;
  std::uint32_t rows_ = 0;
  bool done_ = false;
  std::FILE* f_ = nullptr;
};

class PpmWriter final : public PartFile {
public:
  using PartFile::PartFile;
  bool Start() {
    f_ = std::fopen(part_.c_str(), "wb");
    if (!f_) return Fail("cannot create " + part_);
    std::fprintf(f_, "P6\n%u %u\n%d\n", width_, height_, depth_ == 16 ? 65535 : 255);
    swap_.resize(RowBytes());
    return true;
  }
  bool WriteRow(const void* row) override {
    if (!f_ || rows_ >= height_) return Fail("too many rows");
    const void* out = row;
    if (depth_ == 16 && !BigEndianMachine()) {
      const auto* in = static_cast<const std::uint8_t*>(row);
      for (std::size_t i = 0; i < swap_.size(); i += 2) {
        swap_[i] = in[i + 1];
        swap_[i + 1] = in[i];
      }
      out = swap_.data();
    }
    if (std::fwrite(out, 1, swap_.size(), f_) != swap_.size()) return Fail("cannot write " + part_);
    ++rows_;
    return true;
  }
  bool Finish() override {
    if (!f_) return false;
    return CloseAndCommit();
  }

private:
  std::vector<std::uint8_t> swap_;
};

class TiffWriter final : public PartFile {
public:
  using PartFile::PartFile;
  ~TiffWriter() override {
    if (t_) TIFFClose(t_);
  }
  bool Start(std::span<const std::uint8_t> icc) {
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    t_ = TIFFOpen(part_.c_str(), "w");
    if (!t_) return Fail("cannot create " + part_);
    TIFFSetField(t_, TIFFTAG_IMAGEWIDTH, width_);
    TIFFSetField(t_, TIFFTAG_IMAGELENGTH, height_);
    TIFFSetField(t_, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t_, TIFFTAG_BITSPERSAMPLE, depth_);
    TIFFSetField(t_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t_, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t_, TIFFTAG_ZIPQUALITY, 6);  // zlib's default, as plughost writes
    TIFFSetField(t_, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t_, 0));
    if (!icc.empty()) TIFFSetField(t_, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(icc.size()), icc.data());
    return true;
  }
  bool WriteRow(const void* row) override {
    if (!t_ || rows_ >= height_) return Fail("too many rows");
    if (TIFFWriteScanline(t_, const_cast<void*>(row), rows_, 0) < 0) return Fail("cannot write " + part_);
    ++rows_;
    return true;
  }
  bool Finish() override {
    if (!t_) return false;
    const bool flushed = TIFFFlush(t_) == 1;
    TIFFClose(t_);
    t_ = nullptr;
    if (!flushed) return Fail("cannot write " + part_);
    return Commit();
  }

private:
  TIFF* t_ = nullptr;
};

class PngWriter final : public PartFile {
public:
  using PartFile::PartFile;
  ~PngWriter() override {
    if (png_) png_destroy_write_struct(&png_, &info_);
  }
  bool Start(std::span<const std::uint8_t> icc) {
    f_ = std::fopen(part_.c_str(), "wb");
    if (!f_) return Fail("cannot create " + part_);
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png_) return Fail("out of memory");
    info_ = png_create_info_struct(png_);
    if (!info_) return Fail("out of memory");
    if (setjmp(png_jmpbuf(png_))) return Fail("cannot write " + part_);
    png_init_io(png_, f_);
    png_set_compression_level(png_, 6);
    png_set_IHDR(png_, info_, width_, height_, depth_, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!icc.empty()) png_set_iCCP(png_, info_, "ICC profile", PNG_COMPRESSION_TYPE_BASE, icc.data(),
                                   static_cast<png_uint_32>(icc.size()));
    png_write_info(png_, info_);
    if (depth_ == 16 && !BigEndianMachine()) png_set_swap(png_);
    return true;
  }
  bool WriteRow(const void* row) override {
    if (!png_ || rows_ >= height_) return Fail("too many rows");
    if (setjmp(png_jmpbuf(png_))) return Fail("cannot write " + part_);
    png_write_row(png_, static_cast<png_const_bytep>(row));
    ++rows_;
    return true;
  }
  bool Finish() override {
    if (!png_) return false;
    if (rows_ != height_) return Fail("not every row was written");
    if (setjmp(png_jmpbuf(png_))) return Fail("cannot write " + part_);
    png_write_end(png_, info_);
    png_destroy_write_struct(&png_, &info_);
    png_ = nullptr;
    return CloseAndCommit();
  }

private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

}  // namespace

bool FormatFromName(const std::string& path, ImageFormat& out) {
  const std::size_t dot = path.find_last_of('.'), slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  const std::string ext = Lower(path.substr(dot + 1));
  if (ext == "ppm") out = ImageFormat::kPpm;
  else if (ext == "tif" || ext == "tiff") out = ImageFormat::kTiff;
  else if (ext == "png") out = ImageFormat::kPng;
  else return false;
  return true;
}

std::unique_ptr<RowWriter> OpenRowWriter(const std::string& path, ImageFormat format, std::uint32_t width,
                                         std::uint32_t height, int depth, std::span<const std::uint8_t> icc,
                                         std::string* error) {
  std::unique_ptr<RowWriter> w;
  bool ok = false;
  switch (format) {
    case ImageFormat::kPpm: {
      auto p = std::make_unique<PpmWriter>(path, width, height, depth);
      ok = p->Start();
      w = std::move(p);
      break;
    }
    case ImageFormat::kTiff: {
      auto p = std::make_unique<TiffWriter>(path, width, height, depth);
      ok = p->Start(icc);
      w = std::move(p);
      break;
    }
    case ImageFormat::kPng: {
      auto p = std::make_unique<PngWriter>(path, width, height, depth);
      ok = p->Start(icc);
      w = std::move(p);
      break;
    }
  }
  if (!ok) {
    if (error) *error = w->Error();
    return nullptr;
  }
  return w;
}

}  // namespace mrwdump
