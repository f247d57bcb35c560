#include <png.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "plughost/image.h"
#include "png_errors.h"

namespace plughost {
namespace {

struct File {
  std::FILE* f;
  ~File() {
    if (f) std::fclose(f);
  }
};

uint64_t FileSize(std::FILE* f) {
  const long at = std::ftell(f);
  if (at < 0 || std::fseek(f, 0, SEEK_END) != 0) return UINT64_MAX;  // unknown: no claim refused
  const long end = std::ftell(f);
  std::fseek(f, at, SEEK_SET);
  return end < 0 ? UINT64_MAX : static_cast<uint64_t>(end);
}

[[noreturn]] void Fail(const std::string& path, const std::string& why) {
  throw std::runtime_error(path + ": " + why);
}

}  // namespace

Image ReadPng(const std::string& path) {
  File file{std::fopen(path.c_str(), "rb")};
  if (!file.f) Fail(path, "cannot open");
  unsigned char sig[8];
  if (std::fread(sig, 1, 8, file.f) != 8 || png_sig_cmp(sig, 0, 8) != 0) Fail(path, "not a PNG file");
  std::string why = "damaged PNG";
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &why, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    Fail(path, "out of memory");
  }
  Image img;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    Fail(path, why);
  }
  png_init_io(png, file.f);
  png_set_sig_bytes(png, 8);
  png_set_user_limits(png, 1u << 16, 1u << 16);
  png_read_info(png, info);
  // The header's size is only a claim, and we take the whole picture's memory before its
  // first row decodes: a file whose compressed data could not hold that many pixels (zlib
  // expands at most 1032 times) is refused rather than given gigabytes.
  const uint64_t claimedBits = uint64_t{png_get_image_width(png, info)} * png_get_image_height(png, info) *
                               png_get_channels(png, info) * png_get_bit_depth(png, info);
  if (claimedBits / 8 / 1032 > FileSize(file.f)) {
    png_destroy_read_struct(&png, &info, nullptr);
    Fail(path, "damaged PNG: it claims more pixels than the file holds");
  }
  const png_byte colour = png_get_color_type(png, info);
  const bool alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  // Whatever the file holds becomes 8-bit RGBA.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  if (!alpha) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  img.width = static_cast<int32_t>(png_get_image_width(png, info));
  img.height = static_cast<int32_t>(png_get_image_height(png, info));
  img.hasAlpha = alpha;
  img.rgba.resize(static_cast<size_t>(img.width) * img.height * 4);
  rows.resize(static_cast<size_t>(img.height));
  for (int32_t y = 0; y < img.height; ++y) rows[static_cast<size_t>(y)] = img.Pixel(0, y);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return img;
}

void WritePng(const std::string& path, const Image& img) {
  File file{std::fopen(path.c_str(), "wb")};
  if (!file.f) Fail(path, "cannot create");
  std::string why = "cannot write PNG";
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    Fail(path, "out of memory");
  }
  std::vector<png_bytep> rows(static_cast<size_t>(img.height));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    Fail(path, why);
  }
  png_init_io(png, file.f);
  png_set_IHDR(png, info, static_cast<png_uint_32>(img.width), static_cast<png_uint_32>(img.height), 8,
               img.hasAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (!img.hasAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (int32_t y = 0; y < img.height; ++y)
    rows[static_cast<size_t>(y)] = const_cast<png_bytep>(img.Pixel(0, y));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.f) != 0) Fail(path, "cannot write");
}

}  // namespace plughost
