#include "JpegReference.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace crtest {
namespace {

struct Err {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
extern "C" void Exit(j_common_ptr c) { std::longjmp(reinterpret_cast<Err*>(c->err)->jump, 1); }
extern "C" void Quiet(j_common_ptr, int) {}

struct Dest {
  jpeg_destination_mgr pub;
  std::vector<uint8_t>* out;
  uint8_t buf[4096];
};
extern "C" void DInit(j_compress_ptr c) {
  auto* d = reinterpret_cast<Dest*>(c->dest);
  d->pub.next_output_byte = d->buf;
  d->pub.free_in_buffer = sizeof d->buf;
}
extern "C" boolean DFull(j_compress_ptr c) {
  auto* d = reinterpret_cast<Dest*>(c->dest);
  d->out->insert(d->out->end(), d->buf, d->buf + sizeof d->buf);
  d->pub.next_output_byte = d->buf;
  d->pub.free_in_buffer = sizeof d->buf;
  return TRUE;
}
extern "C" void DTerm(j_compress_ptr c) {
  auto* d = reinterpret_cast<Dest*>(c->dest);
  d->out->insert(d->out->end(), d->buf, d->buf + (sizeof d->buf - d->pub.free_in_buffer));
}

}  // namespace

std::vector<uint8_t> ReferenceJpeg(const uint8_t* pixels, int32_t width, int32_t height, int32_t rowBytes,
                                   bool grey, const CrSettings& s, int32_t hDpi, int32_t vDpi) {
  std::vector<uint8_t> out;
  jpeg_compress_struct c;
  Err err;
  Dest dest;
  dest.out = &out;
  dest.pub.init_destination = DInit;
  dest.pub.empty_output_buffer = DFull;
  dest.pub.term_destination = DTerm;
  c.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = Exit;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&c);
    return {};
  }
  jpeg_create_compress(&c);
  c.dest = &dest.pub;
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = grey ? 1 : 3;
  c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, s.quality, TRUE);
  c.smoothing_factor = s.smoothing;
  c.optimize_coding = s.optimize ? TRUE : FALSE;
  if (s.betterSampling) c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = 1;
  if (s.progressive) jpeg_simple_progression(&c);
  c.density_unit = 1;
  c.X_density = static_cast<UINT16>(hDpi);
  c.Y_density = static_cast<UINT16>(vDpi);
  jpeg_start_compress(&c, TRUE);
  for (int32_t y = 0; y < height; ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<ptrdiff_t>(y) * rowBytes);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return out;
}

bool Decode(const std::vector<uint8_t>& jpeg, Decoded& out) {
  jpeg_decompress_struct d;
  Err err;
  d.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = Exit;
  err.pub.emit_message = Quiet;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, const_cast<unsigned char*>(jpeg.data()), static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&d, TRUE);
  out.width = static_cast<int32_t>(d.image_width);
  out.height = static_cast<int32_t>(d.image_height);
  out.components = d.num_components;
  out.progressive = d.progressive_mode != 0;
  out.hSampling = d.comp_info[0].h_samp_factor;
  out.vSampling = d.comp_info[0].v_samp_factor;
  out.xDensity = d.X_density;
  out.yDensity = d.Y_density;
  out.densityUnit = d.density_unit;
  jpeg_start_decompress(&d);
  const size_t stride = static_cast<size_t>(d.output_width) * static_cast<size_t>(d.output_components);
  out.pixels.assign(stride * d.output_height, 0);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out.pixels.data() + stride * d.output_scanline;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  return true;
}

std::vector<uint8_t> TestPicture(int32_t width, int32_t height, uint32_t seed) {
  std::vector<uint8_t> p(static_cast<size_t>(width) * static_cast<size_t>(height) * 3u);
  uint32_t r = seed * 2654435761u + 1;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      r = r * 1103515245u + 12345u;
      const uint8_t noise = static_cast<uint8_t>((r >> 16) & 31);
      uint8_t* q = &p[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3u];
      const bool block = ((x / 13) + (y / 9)) % 2 == 0;
      q[0] = static_cast<uint8_t>((x * 255) / (width > 1 ? width - 1 : 1) ^ (block ? 0x40 : 0));
      q[1] = static_cast<uint8_t>((y * 255) / (height > 1 ? height - 1 : 1) + noise);
      q[2] = static_cast<uint8_t>(block ? 200 - noise : 30 + noise);
    }
  return p;
}

}  // namespace crtest
