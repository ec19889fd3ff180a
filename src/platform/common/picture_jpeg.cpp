// JPEG files: the header, read up to the frame that holds the size.
#include "platform/common/picture_formats.h"

namespace quarvel::picture_formats {

namespace {

bool is_jpeg_frame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

// Walks the markers up to the frame header, which holds the size.
bool read_jpeg_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why) {
  info.format = "jpeg";
  size_t i = 2;
  for (;;) {
    if (i >= n) return fail(why, kCutHeader);
    if (d[i] != 0xFF) return fail(why, "damaged JPEG header");
    while (i < n && d[i] == 0xFF) ++i;
    if (i >= n) return fail(why, kCutHeader);
    const uint8_t marker = d[i++];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9 || marker == 0xDA) return fail(why, "damaged JPEG header (no frame header)");
    if (n - i < 2) return fail(why, kCutHeader);
    const size_t length = be16(d + i);
    if (length < 2) return fail(why, "damaged JPEG header");
    if (is_jpeg_frame(marker)) {
      if (length < 8) return fail(why, "damaged JPEG header");
      if (n - i < 8) return fail(why, kCutHeader);
      info.height = be16(d + i + 3);
      info.width = be16(d + i + 5);
      info.bits = d[i + 7] * 8;
      if (info.width == 0 || info.height == 0 || info.bits == 0) {
        return fail(why, "damaged JPEG header (no size)");
      }
      return true;
    }
    i += length;
  }
}
}  // namespace quarvel::picture_formats
