#include "plughost/raster_out.h"

#include <png.h>
#include <zlib.h>
#if defined(QM_HAVE_LIBDEFLATE)
#include <libdeflate.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "png_errors.h"

namespace plughost {
namespace {

size_t TypeSize(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: return 8;
    default: return 0;
  }
}

struct Reader {
  const std::vector<uint8_t>& b;
  bool big;
  bool Has(size_t off, size_t n) const { return off <= b.size() && n <= b.size() - off; }
  uint16_t U16(size_t o) const {
    return big ? static_cast<uint16_t>(b[o] << 8 | b[o + 1]) : static_cast<uint16_t>(b[o + 1] << 8 | b[o]);
  }
  uint32_t U32(size_t o) const {
    return big ? (uint32_t{b[o]} << 24 | uint32_t{b[o + 1]} << 16 | uint32_t{b[o + 2]} << 8 | b[o + 3])
               : (uint32_t{b[o + 3]} << 24 | uint32_t{b[o + 2]} << 16 | uint32_t{b[o + 1]} << 8 | b[o]);
  }
  // The entries of the directory at `off`; false when it does not fit.
  bool Directory(size_t off, std::vector<TiffField>& out) const {
    if (!Has(off, 2)) return false;
    const size_t n = U16(off);
    if (!Has(off + 2, n * 12)) return false;
    for (size_t i = 0; i < n; ++i) {
      const size_t e = off + 2 + i * 12;
      TiffField f;
      f.tag = U16(e);
      f.type = U16(e + 2);
      f.count = U32(e + 4);
      const size_t unit = TypeSize(f.type);
      if (!unit || f.count > (1u << 24)) continue;
      const size_t len = unit * f.count;
      const size_t at = len <= 4 ? e + 8 : U32(e + 8);
      if (!Has(at, len)) continue;
      f.value.assign(b.begin() + static_cast<ptrdiff_t>(at), b.begin() + static_cast<ptrdiff_t>(at + len));
      out.push_back(std::move(f));
    }
    return true;
  }
};

// Builds a TIFF file in one byte order.
class TiffBuilder {
 public:
  explicit TiffBuilder(bool big) : big_(big) {
    if (big) Put(std::vector<uint8_t>{'M', 'M', 0, 42, 0, 0, 0, 0});
    else Put(std::vector<uint8_t>{'I', 'I', 42, 0, 0, 0, 0, 0});
  }
  uint32_t Offset() const { return static_cast<uint32_t>(out_.size()); }
  void Put(const std::vector<uint8_t>& v) { out_.insert(out_.end(), v.begin(), v.end()); }
  void Align() {
    if (out_.size() & 1) out_.push_back(0);
  }
  std::vector<uint8_t> U16(uint16_t v) const {
    return big_ ? std::vector<uint8_t>{uint8_t(v >> 8), uint8_t(v)} : std::vector<uint8_t>{uint8_t(v), uint8_t(v >> 8)};
  }
  std::vector<uint8_t> U32(uint32_t v) const {
    std::vector<uint8_t> r{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    if (!big_) std::reverse(r.begin(), r.end());
    return r;
  }
  TiffField Short(uint16_t tag, std::vector<uint16_t> values) const {
    TiffField f{tag, 3, static_cast<uint32_t>(values.size()), {}};
    for (uint16_t v : values) Append(f.value, U16(v));
    return f;
  }
  TiffField Long(uint16_t tag, std::vector<uint32_t> values) const {
    TiffField f{tag, 4, static_cast<uint32_t>(values.size()), {}};
    for (uint32_t v : values) Append(f.value, U32(v));
    return f;
  }
  TiffField Rational(uint16_t tag, uint32_t num, uint32_t den) const {
    TiffField f{tag, 5, 1, {}};
    Append(f.value, U32(num));
    Append(f.value, U32(den));
    return f;
  }
  static TiffField Bytes(uint16_t tag, uint16_t type, const std::vector<uint8_t>& v) {
    return TiffField{tag, type, static_cast<uint32_t>(v.size()), v};
  }
  // Writes a directory at the current offset (values that do not fit in an entry follow it)
  // and returns where it starts. `patch` names an entry whose value is filled in later.
  uint32_t Directory(std::vector<TiffField> fields, uint16_t patchTag, size_t* patchAt) {
    std::sort(fields.begin(), fields.end(), [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
    Align();
    const uint32_t start = Offset();
    uint32_t extra = start + 2 + static_cast<uint32_t>(fields.size()) * 12 + 4;
    std::vector<uint8_t> tail;
    Put(U16(static_cast<uint16_t>(fields.size())));
    for (const TiffField& f : fields) {
      Put(U16(f.tag));
      Put(U16(f.type));
      Put(U32(f.count));
      if (f.tag == patchTag && patchAt) *patchAt = out_.size();
      if (f.value.size() <= 4) {
        std::vector<uint8_t> v = f.value;
        v.resize(4, 0);
        Put(v);
      } else {
        Put(U32(extra + static_cast<uint32_t>(tail.size())));
        Append(tail, f.value);
        if (tail.size() & 1) tail.push_back(0);
      }
    }
    Put(U32(0));
    Put(tail);
    return start;
  }
  void Patch32(size_t at, uint32_t v) {
    auto b = U32(v);
    std::copy(b.begin(), b.end(), out_.begin() + static_cast<ptrdiff_t>(at));
  }
  void SetFirstDirectory(uint32_t off) { Patch32(4, off); }
  std::vector<uint8_t>& bytes() { return out_; }

 private:
  static void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& v) { to.insert(to.end(), v.begin(), v.end()); }
  bool big_;
  std::vector<uint8_t> out_;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error(path + ": cannot create");
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (std::fclose(f) != 0 || !ok) {
    std::remove(path.c_str());
    throw std::runtime_error(path + ": cannot write");
  }
}

void CheckImage(const RgbImage& img) {
  if (img.width <= 0 || img.height <= 0 || (img.depth != 8 && img.depth != 16) ||
      img.pixels.size() != img.RowBytes() * static_cast<size_t>(img.height))
    throw std::runtime_error("no image to write");
}

}  // namespace

ExifFields ReadExifFields(const std::vector<uint8_t>& block) {
  ExifFields f;
  if (block.size() < 8) return f;
  const bool big = block[0] == 'M' && block[1] == 'M';
  if (!big && !(block[0] == 'I' && block[1] == 'I')) return f;
  Reader r{block, big};
  if (r.U16(2) != 42) return f;
  f.bigEndian = big;
  std::vector<TiffField> ifd0;
  if (!r.Directory(r.U32(4), ifd0)) return f;
  for (const TiffField& e : ifd0) {
    if (e.tag == 271 || e.tag == 272 || e.tag == 305 || e.tag == 306) f.camera.push_back(e);
    if (e.tag == 34665 && (e.type == 4 || e.type == 13) && e.value.size() == 4) {
      std::vector<TiffField> sub;
      const uint32_t off = big ? (uint32_t{e.value[0]} << 24 | uint32_t{e.value[1]} << 16 |
                                  uint32_t{e.value[2]} << 8 | e.value[3])
                               : (uint32_t{e.value[3]} << 24 | uint32_t{e.value[2]} << 16 |
                                  uint32_t{e.value[1]} << 8 | e.value[0]);
      r.Directory(off, sub);
      for (TiffField& s : sub) {
        // Entries that point elsewhere in the block (the interoperability directory) and the
        // maker note, whose inner offsets count from this block's start, cannot move.
        if (s.tag == 40965 || s.tag == 37500 || s.type == 13) continue;
        f.exif.push_back(std::move(s));
      }
    }
  }
  return f;
}

// TIFF strips as zlib streams at zlib's default level, one compressor kept for them all.
// Where the build has libdeflate (as the system's libtiff does) it makes the streams: several
// times faster than zlib at the same level, and the strips decode the same.
class StripPacker {
 public:
  StripPacker() {
#if defined(QM_HAVE_LIBDEFLATE)
    c_ = libdeflate_alloc_compressor(6);
    if (!c_) throw std::bad_alloc();
#else
    if (deflateInit(&z_, 6) != Z_OK) throw std::bad_alloc();
#endif
  }
  ~StripPacker() {
#if defined(QM_HAVE_LIBDEFLATE)
    libdeflate_free_compressor(c_);
#else
    deflateEnd(&z_);
#endif
  }
  StripPacker(const StripPacker&) = delete;
  StripPacker& operator=(const StripPacker&) = delete;

  bool Pack(std::vector<uint8_t>& raw, std::vector<uint8_t>& packed) {
#if defined(QM_HAVE_LIBDEFLATE)
    packed.resize(libdeflate_zlib_compress_bound(c_, raw.size()));
    const size_t n = libdeflate_zlib_compress(c_, raw.data(), raw.size(), packed.data(), packed.size());
#else
    packed.resize(deflateBound(&z_, static_cast<uLong>(raw.size())));
    z_.next_in = raw.data();
    z_.avail_in = static_cast<uInt>(raw.size());
    z_.next_out = packed.data();
    z_.avail_out = static_cast<uInt>(packed.size());
    const size_t n = deflate(&z_, Z_FINISH) == Z_STREAM_END ? z_.total_out : 0;
    deflateReset(&z_);
#endif
    packed.resize(n);
    return n != 0;
  }

 private:
#if defined(QM_HAVE_LIBDEFLATE)
  libdeflate_compressor* c_ = nullptr;
#else
  z_stream z_{};
#endif
};

void WriteRgbTiff(const std::string& path, const RgbImage& img, const RasterExtras& extras) {
  CheckImage(img);
  const ExifFields exif = ReadExifFields(extras.exif);
  const bool big = exif.bigEndian;
  TiffBuilder t(big);
  const size_t rowBytes = img.RowBytes();
  // About 8 KB a strip, as libtiff chooses by default: the compressor's tables and the strip
  // stay in the cache, which on a large image makes the deflating markedly faster.
  const int32_t rowsPerStrip = std::max<int32_t>(1, static_cast<int32_t>((8u << 10) / rowBytes));
  std::vector<uint32_t> offsets, counts;
  std::vector<uint8_t> raw, packed;
  StripPacker packer;
  for (int32_t y0 = 0; y0 < img.height; y0 += rowsPerStrip) {
    const int32_t rows = std::min(rowsPerStrip, img.height - y0);
    raw.assign(img.pixels.begin() + static_cast<ptrdiff_t>(rowBytes * static_cast<size_t>(y0)),
               img.pixels.begin() + static_cast<ptrdiff_t>(rowBytes * static_cast<size_t>(y0 + rows)));
    if (img.depth == 16) {
      // Samples are held in this machine's order; the file says which order it uses.
      const uint16_t probe = 1;
      const bool hostLittle = *reinterpret_cast<const uint8_t*>(&probe) == 1;
      if (hostLittle == big)
        for (size_t i = 0; i + 1 < raw.size(); i += 2) std::swap(raw[i], raw[i + 1]);
    }
    if (!packer.Pack(raw, packed)) throw std::runtime_error(path + ": cannot compress");
    offsets.push_back(t.Offset());
    counts.push_back(static_cast<uint32_t>(packed.size()));
    t.Put(packed);
    t.Align();
  }
  const uint16_t bits = static_cast<uint16_t>(img.depth);
  std::vector<TiffField> ifd0 = {
      t.Long(256, {static_cast<uint32_t>(img.width)}),
      t.Long(257, {static_cast<uint32_t>(img.height)}),
      t.Short(258, {bits, bits, bits}),
      t.Short(259, {8}),  // deflate
      t.Short(262, {2}),  // RGB
      t.Long(273, offsets),
      t.Short(277, {3}),
      t.Long(278, {static_cast<uint32_t>(rowsPerStrip)}),
      t.Long(279, counts),
      t.Short(284, {1}),
  };
  if (extras.resolution > 0) {
    ifd0.push_back(t.Rational(282, static_cast<uint32_t>(extras.resolution), 1));
    ifd0.push_back(t.Rational(283, static_cast<uint32_t>(extras.resolution), 1));
    ifd0.push_back(t.Short(296, {2}));
  }
  for (const TiffField& f : exif.camera) ifd0.push_back(f);
  if (!extras.icc.empty()) ifd0.push_back(TiffBuilder::Bytes(34675, 7, extras.icc));
  const bool hasExif = !exif.exif.empty();
  if (hasExif) ifd0.push_back(t.Long(34665, {0}));
  size_t exifPointer = 0;
  t.SetFirstDirectory(t.Directory(std::move(ifd0), 34665, &exifPointer));
  if (hasExif) t.Patch32(exifPointer, t.Directory(exif.exif, 0, nullptr));
  WriteFile(path, t.bytes());
}

void WriteRgbPng(const std::string& path, const RgbImage& img, const RasterExtras& extras) {
  CheckImage(img);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error(path + ": cannot create");
  std::string why = "cannot write PNG";
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    std::fclose(f);
    throw std::runtime_error(path + ": out of memory");
  }
  std::vector<png_bytep> rows(static_cast<size_t>(img.height));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    std::remove(path.c_str());
    throw std::runtime_error(path + ": " + why);
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(img.width), static_cast<png_uint_32>(img.height), img.depth,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!extras.icc.empty())
    png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, extras.icc.data(),
                 static_cast<png_uint_32>(extras.icc.size()));
  if (extras.exif.size() >= 8)
    png_set_eXIf_1(png, info, static_cast<png_uint_32>(extras.exif.size()), const_cast<png_bytep>(extras.exif.data()));
  if (extras.resolution > 0) {
    const auto ppm = static_cast<png_uint_32>(extras.resolution / 0.0254 + 0.5);
    png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  }
  png_write_info(png, info);
  if (img.depth == 16) png_set_swap(png);  // PNG is big-endian; samples are held little-endian
  for (int32_t y = 0; y < img.height; ++y)
    rows[static_cast<size_t>(y)] =
        const_cast<png_bytep>(img.pixels.data() + img.RowBytes() * static_cast<size_t>(y));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  const bool ok = std::fflush(f) == 0;
  if (std::fclose(f) != 0 || !ok) {
    std::remove(path.c_str());
    throw std::runtime_error(path + ": cannot write");
  }
}

}  // namespace plughost
