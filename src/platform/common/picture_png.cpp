// PNG files: the header (IHDR, which must come first).
#include "platform/common/picture_formats.h"

#include <cstring>

namespace quarvel::picture_formats {

bool read_png_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why) {
  info.format = "png";
  if (n < 33) return fail(why, kCutHeader);
  if (be32(d + 8) != 13 || std::memcmp(d + 12, "IHDR", 4) != 0) {
    return fail(why, "damaged PNG header (no IHDR first)");
  }
  const uint32_t w = be32(d + 16), h = be32(d + 20);
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return fail(why, "damaged PNG header (no size)");
  const int depth = d[24];
  int channels = 0;
  bool depth_ok = false;
  switch (d[25]) {
    case 0: channels = 1, depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 2: channels = 3, depth_ok = depth == 8 || depth == 16; break;
    case 3: channels = 1, depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 4: channels = 2, depth_ok = depth == 8 || depth == 16; break;
    case 6: channels = 4, depth_ok = depth == 8 || depth == 16; break;
    default: break;
  }
  if (!depth_ok) return fail(why, "damaged PNG header (bad colour type or depth)");
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  info.bits = depth * channels;
  return true;
}
}  // namespace quarvel::picture_formats
