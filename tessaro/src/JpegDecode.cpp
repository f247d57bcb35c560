#include "JpegDecode.h"

#include <csetjmp>
#include <cstdio>
#include <new>

#include <jpeglib.h>

namespace tessaro {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return. It jumps back into
// the phase function that called setjmp; those hold nothing that needs destroying.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

struct MemorySourceManager {
  jpeg_source_mgr pub;
  bool ranOut;
};

const JOCTET kEoi[2] = {0xFF, JPEG_EOI};

extern "C" void OnErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// Warnings about recoverable damage are not worth a message in a plug-in.
extern "C" void OnEmitMessage(j_common_ptr, int) {}

extern "C" void OnInitSource(j_decompress_ptr) {}
extern "C" void OnTermSource(j_decompress_ptr) {}

// All the data is in the buffer from the start, so running out means it ended early: an end
// marker is handed over so the library stops, and the decode is failed afterwards.
extern "C" boolean OnFillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<MemorySourceManager*>(cinfo->src);
  src->ranOut = true;
  src->pub.next_input_byte = kEoi;
  src->pub.bytes_in_buffer = 2;
  return TRUE;
}

extern "C" void OnSkipInputData(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* src = cinfo->src;
  if (count <= 0) return;
  while (static_cast<unsigned long>(count) > src->bytes_in_buffer) {
    count -= static_cast<long>(src->bytes_in_buffer);
    (void)(*src->fill_input_buffer)(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

struct Decoder {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  MemorySourceManager src;
};

bool ReadHeader(Decoder& d, const std::uint8_t* data, std::size_t size) {
  if (setjmp(d.err.jump)) return false;
  jpeg_create_decompress(&d.cinfo);
  d.src.pub.init_source = OnInitSource;
  d.src.pub.fill_input_buffer = OnFillInputBuffer;
  d.src.pub.skip_input_data = OnSkipInputData;
  d.src.pub.resync_to_restart = jpeg_resync_to_restart;
  d.src.pub.term_source = OnTermSource;
  d.src.pub.next_input_byte = data;
  d.src.pub.bytes_in_buffer = size;
  d.src.ranOut = false;
  d.cinfo.src = &d.src.pub;
  jpeg_read_header(&d.cinfo, TRUE);
  d.cinfo.out_color_space = d.cinfo.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
  return true;
}

bool StartDecompress(Decoder& d) {
  if (setjmp(d.err.jump)) return false;
  jpeg_start_decompress(&d.cinfo);
  return true;
}

bool ReadRows(Decoder& d, std::uint8_t* out, std::size_t stride) {
  if (setjmp(d.err.jump)) return false;
  while (d.cinfo.output_scanline < d.cinfo.output_height) {
    JSAMPROW row = out + std::size_t{d.cinfo.output_scanline} * stride;
    jpeg_read_scanlines(&d.cinfo, &row, 1);
  }
  jpeg_finish_decompress(&d.cinfo);
  return true;
}

struct DecoderGuard {
  Decoder& d;
  ~DecoderGuard() { jpeg_destroy_decompress(&d.cinfo); }
};

}  // namespace

bool DecodeJpegRgb(const std::uint8_t* data, std::size_t size, Thumbnail& out, std::string& error) {
  Decoder d{};
  d.cinfo.err = jpeg_std_error(&d.err.pub);
  d.err.pub.error_exit = OnErrorExit;
  d.err.pub.emit_message = OnEmitMessage;
  DecoderGuard guard{d};

  if (!ReadHeader(d, data, size)) {
    error = d.err.message;
    return false;
  }
  // The least a baseline JPEG spends is two bits per 8x8 block, so no honest thumbnail has
  // more than 256 pixels per byte; a header that claims more would only make us allocate.
  const std::uint64_t pixels = std::uint64_t{d.cinfo.image_width} * d.cinfo.image_height;
  if (pixels == 0 || pixels > std::uint64_t{size} * 256) {
    error = "JPEG size does not fit its data";
    return false;
  }
  if (!StartDecompress(d)) {
    error = d.err.message;
    return false;
  }
  const int components = d.cinfo.output_components;
  if (components != 1 && components != 3) {
    error = "JPEG is neither RGB nor grey";
    return false;
  }
  const std::uint32_t w = d.cinfo.output_width, h = d.cinfo.output_height;
  const std::size_t stride = std::size_t{w} * 3;
  try {
    out.rgb.assign(stride * h, 0);
  } catch (const std::bad_alloc&) {
    error = "out of memory for the thumbnail";
    return false;
  }
  // Grey rows are read into the first third of each RGB row and spread out afterwards.
  if (!ReadRows(d, out.rgb.data(), stride)) {
    error = d.err.message;
    return false;
  }
  if (d.src.ranOut) {
    error = "JPEG data ends early";
    return false;
  }
  if (components == 1) {
    for (std::size_t y = 0; y < h; ++y) {
      std::uint8_t* row = out.rgb.data() + y * stride;
      for (std::size_t x = w; x-- > 0;) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = row[x];
    }
  }
  out.width = w;
  out.height = h;
  return true;
}

}  // namespace tessaro
