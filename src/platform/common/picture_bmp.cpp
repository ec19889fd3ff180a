// BMP files: 1, 4, 8, 16, 24 and 32 bits, top-down or bottom-up, with or
// without bit fields.
#include "platform/common/picture_formats.h"

#include <bit>
#include <cstring>
#include <vector>

namespace quarvel::picture_formats {

namespace {

struct BmpLayout {
  uint32_t header = 0;  // size of the info header
  int width = 0, height = 0;
  bool top_down = false;
  int bits = 0;
  uint32_t compression = 0;
  uint32_t masks[4] = {};  // red, green, blue, alpha for 16 and 32 bits
  size_t palette_at = 0, palette_entries = 0, palette_entry_size = 4;
  size_t pixels_at = 0;
};

bool read_bmp_layout(const uint8_t* d, size_t n, BmpLayout& l, std::string& why) {
  if (n < 18) return fail(why, kCutHeader);
  l.header = le32(d + 14);
  if (l.header != 12 && (l.header < 40 || l.header > 1024)) {
    return fail(why, "damaged bitmap header (" + std::to_string(l.header) + "-byte info header)");
  }
  if (n < 14 + size_t{l.header}) return fail(why, kCutHeader);
  uint16_t planes = 0;
  if (l.header == 12) {
    l.width = le16(d + 18);
    l.height = le16(d + 20);
    planes = le16(d + 22);
    l.bits = le16(d + 24);
    l.palette_entry_size = 3;
  } else {
    const int32_t w = static_cast<int32_t>(le32(d + 18));
    const int32_t h = static_cast<int32_t>(le32(d + 22));
    if (w <= 0 || h == 0 || h == INT32_MIN) return fail(why, "damaged bitmap header (no size)");
    l.width = w;
    l.top_down = h < 0;
    l.height = h < 0 ? -h : h;
    planes = le16(d + 26);
    l.bits = le16(d + 28);
    l.compression = le32(d + 30);
    l.palette_entries = le32(d + 46);
  }
  if (l.width <= 0 || l.height <= 0 || planes != 1) return fail(why, "damaged bitmap header");
  if (l.compression == 1 || l.compression == 2) {
    return fail(why, "a bitmap compressed with RLE is not read");
  }
  if (l.compression != 0 && l.compression != 3) {
    return fail(why, "unknown bitmap compression (" + std::to_string(l.compression) + ")");
  }
  switch (l.bits) {
    case 1: case 4: case 8: case 24:
      if (l.compression != 0) return fail(why, "damaged bitmap header (bit fields on a " + std::to_string(l.bits) +
                                           "-bit bitmap)");
      break;
    case 16: case 32: break;
    default: return fail(why, "a bitmap of " + std::to_string(l.bits) + " bits per pixel is not read");
  }
  l.palette_at = 14 + size_t{l.header};
  if (l.bits == 16 || l.bits == 32) {
    if (l.compression == 0) {
      if (l.bits == 16) {
        l.masks[0] = 0x7C00, l.masks[1] = 0x03E0, l.masks[2] = 0x001F;
      } else {
        l.masks[0] = 0xFF0000, l.masks[1] = 0xFF00, l.masks[2] = 0xFF, l.masks[3] = 0xFF000000u;
      }
    } else {
      // The masks follow a short header, or are part of a longer one.
      const size_t masks_at = l.header >= 52 ? 54 : 14 + size_t{l.header};
      if (masks_at == l.palette_at) l.palette_at += 12;
      if (n < l.palette_at) return fail(why, kCutHeader);
      for (int i = 0; i < 3; ++i) l.masks[i] = le32(d + masks_at + 4 * i);
      if (l.header >= 56) l.masks[3] = le32(d + 66);
    }
  }
  const size_t palette_max = l.bits <= 8 ? size_t{1} << l.bits : 0;
  if (l.palette_entries == 0 || l.palette_entries > palette_max) l.palette_entries = palette_max;
  l.pixels_at = le32(d + 10);
  if (l.pixels_at < l.palette_at) return fail(why, "damaged bitmap header (pixel data inside the header)");
  // Only the colours stored before the pixels count.
  l.palette_entries = std::min(l.palette_entries, (l.pixels_at - l.palette_at) / l.palette_entry_size);
  if (l.pixels_at > n) return fail(why, kCutPixels);
  return true;
}

// One channel of a 16- or 32-bit pixel, widened or narrowed to 8 bits.
uint32_t bmp_channel(uint32_t v, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask);
  const uint64_t x = (v & mask) >> shift;
  const uint64_t max = (uint64_t{1} << width) - 1;
  return static_cast<uint32_t>(std::min<uint64_t>(255, (x * 255 + max / 2) / max));
}

}  // namespace

bool read_bmp_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why) {
  BmpLayout l;
  if (!read_bmp_layout(d, n, l, why)) return false;
  info = {l.width, l.height, l.bits, "bmp"};
  return true;
}

bool decode_bmp(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  BmpLayout l;
  if (!read_bmp_layout(d, n, l, why)) return false;
  const size_t stride = (static_cast<size_t>(l.width) * static_cast<size_t>(l.bits) + 31) / 32 * 4;
  if (stride * static_cast<size_t>(l.height) > n - l.pixels_at) return fail(why, kCutPixels);
  std::vector<uint32_t> palette(l.palette_entries);
  for (size_t i = 0; i < palette.size(); ++i) {
    const uint8_t* c = d + l.palette_at + i * l.palette_entry_size;
    palette[i] = argb(0xFF, c[2], c[1], c[0]);
  }
  p.pixels.assign(static_cast<size_t>(l.width) * static_cast<size_t>(l.height), kOpaqueBlack);
  bool any_alpha = false;
  for (int row = 0; row < l.height; ++row) {
    const uint8_t* s = d + l.pixels_at + static_cast<size_t>(row) * stride;
    uint32_t* o = &p.pixels[static_cast<size_t>(l.top_down ? row : l.height - 1 - row) * l.width];
    for (int x = 0; x < l.width; ++x) {
      if (l.bits <= 8) {
        const int bit = x * l.bits;
        const uint32_t index = (s[bit / 8] >> (8 - l.bits - bit % 8)) & ((1u << l.bits) - 1);
        o[x] = index < palette.size() ? palette[index] : kOpaqueBlack;
      } else if (l.bits == 24) {
        o[x] = argb(0xFF, s[3 * x + 2], s[3 * x + 1], s[3 * x]);
      } else {
        const uint32_t v = l.bits == 16 ? le16(s + 2 * x) : le32(s + 4 * x);
        const uint32_t a = bmp_channel(v, l.masks[3]);
        any_alpha |= a != 0;
        o[x] = argb(a, bmp_channel(v, l.masks[0]), bmp_channel(v, l.masks[1]), bmp_channel(v, l.masks[2]));
      }
    }
  }
  // Many writers leave the fourth byte zero: such a picture is opaque.
  if ((l.bits == 16 || l.bits == 32) && !any_alpha) {
    for (uint32_t& px : p.pixels) px |= kOpaqueBlack;
  }
  return true;
}
}  // namespace quarvel::picture_formats
