// JPEG pixels on the desktop, through libjpeg, within the limits a hostile
// file cannot push past (scans, memory).
#include "platform/common/picture_formats.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace quarvel::picture_formats {

namespace {

// A progressive file of thousands of tiny scans takes minutes to decode.
constexpr int kMaxJpegScans = 500;
// Progressive files keep all coefficients in memory: 100 MB at the largest side.
constexpr long kMaxJpegMemory = 256L << 20;

struct JpegErrors {
  jpeg_error_mgr manager;  // first: libjpeg sees only this part
  std::jmp_buf jump;
  bool cut = false;
  char message[JMSG_LENGTH_MAX] = "";
};

[[noreturn]] void jpeg_fail(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings go nowhere; the one that matters is the end of the data.
void jpeg_note(j_common_ptr cinfo, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  if (level < 0) {
    ++errors->manager.num_warnings;
    if (errors->manager.msg_code == JWRN_JPEG_EOF) errors->cut = true;
  }
}

void jpeg_count_scans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMaxJpegScans);
    std::longjmp(errors->jump, 1);
  }
}

// `p` already holds width x height pixels. No object with a destructor is
// made between setjmp and the calls that may jump back to it.

}  // namespace

bool decode_jpeg(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  JpegErrors errors;
  jpeg_decompress_struct cinfo;
  jpeg_progress_mgr progress{};
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jpeg_fail;
  errors.manager.emit_message = jpeg_note;
  progress.progress_monitor = jpeg_count_scans;
  volatile bool in_pixels = false;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    if (errors.cut) {
      why = in_pixels ? kCutPixels : kCutHeader;
    } else {
      why = std::string("damaged JPEG data (") + errors.message + ")";
    }
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxJpegMemory;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, d, static_cast<unsigned long>(n));
  jpeg_read_header(&cinfo, TRUE);
  if (static_cast<int>(cinfo.image_width) != p.width || static_cast<int>(cinfo.image_height) != p.height) {
    std::snprintf(errors.message, sizeof errors.message, "two sizes");
    std::longjmp(errors.jump, 1);
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  in_pixels = true;
  jpeg_start_decompress(&cinfo);
  const int components = cinfo.output_components;
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              cinfo.output_width * static_cast<JDIMENSION>(components), 1);
  // Adobe's CMYK files store the channels inverted: 255 is no ink.
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    uint32_t* o = &p.pixels[static_cast<size_t>(cinfo.output_scanline) * static_cast<size_t>(p.width)];
    jpeg_read_scanlines(&cinfo, row, 1);
    const JSAMPLE* s = row[0];
    for (int x = 0; x < p.width; ++x, s += components) {
      if (!cmyk) {
        o[x] = argb(0xFF, s[0], s[1], s[2]);
      } else {
        uint32_t c[4] = {s[0], s[1], s[2], s[3]};
        if (!inverted) for (uint32_t& v : c) v = 255 - v;
        o[x] = argb(0xFF, (c[0] * c[3] + 127) / 255, (c[1] * c[3] + 127) / 255, (c[2] * c[3] + 127) / 255);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);  // reads on to the end mark
  const bool cut = errors.cut;
  jpeg_destroy_decompress(&cinfo);
  if (cut) return fail(why, kCutPixels);
  return true;
}
}  // namespace quarvel::picture_formats
