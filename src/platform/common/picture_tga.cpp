// TGA files: colour-mapped, true colour and grey, plain or run-length
// encoded.
#include "platform/common/picture_formats.h"

#include <vector>

namespace quarvel::picture_formats {

namespace {

struct TgaLayout {
  int type = 0;   // 1 colour-mapped, 2 true colour, 3 grey; +8 when run-length encoded
  int bits = 0;   // bits per stored pixel
  int width = 0, height = 0;
  bool top_down = false;
  size_t map_at = 0, map_first = 0, map_entries = 0;
  int map_bits = 0;
  size_t pixels_at = 0;
};

// TGA has no signature: the header must make sense as a whole.
bool read_tga_layout(const uint8_t* d, size_t n, TgaLayout& l) {
  if (n < 18) return false;
  const int map_type = d[1];
  l.type = d[2];
  l.map_first = le16(d + 3);
  l.map_entries = le16(d + 5);
  l.map_bits = d[7];
  l.width = le16(d + 12);
  l.height = le16(d + 14);
  l.bits = d[16];
  l.top_down = (d[17] & 0x20) != 0;
  if (map_type > 1 || l.width == 0 || l.height == 0) return false;
  if (map_type == 1 && l.map_bits != 15 && l.map_bits != 16 && l.map_bits != 24 && l.map_bits != 32) return false;
  switch (l.type & 7) {
    case 1:
      if (l.type > 11 || map_type != 1 || (l.bits != 8 && l.bits != 16)) return false;
      break;
    case 2:
      if (l.type > 11 || (l.bits != 15 && l.bits != 16 && l.bits != 24 && l.bits != 32)) return false;
      break;
    case 3:
      if (l.type > 11 || (l.bits != 8 && l.bits != 16)) return false;
      break;
    default: return false;
  }
  l.map_at = 18 + size_t{d[0]};
  l.pixels_at = l.map_at + (map_type == 1 ? l.map_entries * ((l.map_bits + 7) / 8) : 0);
  if (map_type != 1) l.map_entries = 0;
  return true;
}

uint32_t tga_colour(const uint8_t* s, int bits) {
  switch (bits) {
    case 15: case 16: {
      const uint32_t v = le16(s);
      return argb(0xFF, widen5(v >> 10 & 31), widen5(v >> 5 & 31), widen5(v & 31));
    }
    case 24: return argb(0xFF, s[2], s[1], s[0]);
    default: return argb(s[3], s[2], s[1], s[0]);
  }
}

}  // namespace

bool is_tga(const uint8_t* d, size_t n) {
  TgaLayout l;
  return read_tga_layout(d, n, l);
}

bool read_tga_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why) {
  TgaLayout l;
  if (!read_tga_layout(d, n, l)) return fail(why, kUnknownFormat);
  if (l.pixels_at > n) return fail(why, "the file ends inside the colour map");
  info = {l.width, l.height, l.bits, "tga"};
  return true;
}

bool decode_tga(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  TgaLayout l;
  if (!read_tga_layout(d, n, l)) return fail(why, kUnknownFormat);
  if (l.pixels_at > n) return fail(why, "the file ends inside the colour map");
  std::vector<uint32_t> map(l.map_entries);
  for (size_t i = 0; i < map.size(); ++i) map[i] = tga_colour(d + l.map_at + i * ((l.map_bits + 7) / 8), l.map_bits);

  const size_t bytes = static_cast<size_t>(l.bits + 7) / 8;
  const size_t total = static_cast<size_t>(l.width) * static_cast<size_t>(l.height);
  const bool rle = l.type > 8;
  // Each run-length packet holds at most 128 pixels, in at least 1 + `bytes`
  // bytes: a file too short for that is cut, whatever its packets say.
  const size_t least = rle ? (total + 127) / 128 * (1 + bytes) : total * bytes;
  if (least > n - l.pixels_at) return fail(why, kCutPixels);

  auto pixel = [&](const uint8_t* s) -> uint32_t {
    switch (l.type & 7) {
      case 1: {
        const size_t index = (l.bits == 8 ? s[0] : le16(s)) - l.map_first;
        return index < map.size() ? map[index] : kOpaqueBlack;
      }
      case 3: return l.bits == 8 ? argb(0xFF, s[0], s[0], s[0]) : argb(s[1], s[0], s[0], s[0]);
      default: return tga_colour(s, l.bits);
    }
  };
  std::vector<uint32_t> pixels(total);
  size_t at = l.pixels_at;
  if (!rle) {
    for (uint32_t& px : pixels) px = pixel(d + at), at += bytes;
  } else {
    for (size_t i = 0; i < total;) {
      if (at >= n) return fail(why, kCutPixels);
      const uint8_t head = d[at++];
      const size_t count = std::min<size_t>((head & 0x7F) + 1, total - i);
      if (head & 0x80) {
        if (bytes > n - at) return fail(why, kCutPixels);
        std::fill_n(pixels.begin() + static_cast<ptrdiff_t>(i), count, pixel(d + at));
        at += bytes;
        i += count;
      } else {
        if (count * bytes > n - at) return fail(why, kCutPixels);
        for (size_t k = 0; k < count; ++k, at += bytes) pixels[i++] = pixel(d + at);
      }
    }
  }
  if (!l.top_down) {
    for (int y = 0; y < l.height / 2; ++y) {
      std::swap_ranges(pixels.begin() + static_cast<ptrdiff_t>(y) * l.width,
                       pixels.begin() + static_cast<ptrdiff_t>(y + 1) * l.width,
                       pixels.begin() + static_cast<ptrdiff_t>(l.height - 1 - y) * l.width);
    }
  }
  p.pixels = std::move(pixels);
  return true;
}
}  // namespace quarvel::picture_formats
