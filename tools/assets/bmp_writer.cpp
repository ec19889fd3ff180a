#include "bmp_writer.h"

#include <map>

namespace quarvel::assets {

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

std::vector<uint8_t> header(const Picture& pic, int bits, uint32_t palette_entries) {
  const uint32_t row = ((static_cast<uint32_t>(pic.width) * bits / 8) + 3u) & ~3u;
  const uint32_t data = row * static_cast<uint32_t>(pic.height);
  const uint32_t offset = 14 + 40 + palette_entries * 4;
  std::vector<uint8_t> b;
  b.push_back('B');
  b.push_back('M');
  put32(b, offset + data);
  put32(b, 0);
  put32(b, offset);
  put32(b, 40);
  put32(b, static_cast<uint32_t>(pic.width));
  put32(b, static_cast<uint32_t>(pic.height));  // bottom-up rows
  put16(b, 1);
  put16(b, static_cast<uint32_t>(bits));
  put32(b, 0);  // no compression
  put32(b, data);
  put32(b, 2835);  // 72 dpi
  put32(b, 2835);
  put32(b, palette_entries);
  put32(b, 0);
  return b;
}

}  // namespace

std::vector<uint8_t> encode_bmp24(const Picture& pic) {
  std::vector<uint8_t> b = header(pic, 24, 0);
  const size_t pad = (4 - (static_cast<size_t>(pic.width) * 3) % 4) % 4;
  for (int y = pic.height - 1; y >= 0; --y) {
    for (int x = 0; x < pic.width; ++x) {
      uint32_t c = pic.at(x, y);
      b.push_back(static_cast<uint8_t>(c));
      b.push_back(static_cast<uint8_t>(c >> 8));
      b.push_back(static_cast<uint8_t>(c >> 16));
    }
    b.insert(b.end(), pad, 0);
  }
  return b;
}

std::vector<uint8_t> encode_bmp8(const Picture& pic) {
  std::map<uint32_t, int> index;  // colour -> palette entry, in order of first use
  std::vector<uint32_t> palette;
  for (uint32_t c : pic.pixels) {
    uint32_t rgb = c & 0xFFFFFF;
    if (index.count(rgb)) continue;
    if (palette.size() == 256) return {};
    index[rgb] = static_cast<int>(palette.size());
    palette.push_back(rgb);
  }
  std::vector<uint8_t> b = header(pic, 8, static_cast<uint32_t>(palette.size()));
  for (uint32_t rgb : palette) put32(b, rgb);  // B, G, R, 0 in little-endian order
  const size_t pad = (4 - static_cast<size_t>(pic.width) % 4) % 4;
  for (int y = pic.height - 1; y >= 0; --y) {
    for (int x = 0; x < pic.width; ++x)
      b.push_back(static_cast<uint8_t>(index[pic.at(x, y) & 0xFFFFFF]));
    b.insert(b.end(), pad, 0);
  }
  return b;
}

std::vector<uint8_t> encode_bmp(const Picture& pic) {
  if (pic.bits == 8) {
    std::vector<uint8_t> b = encode_bmp8(pic);
    if (!b.empty()) return b;
    return encode_bmp8(reduce_to_palette(pic));
  }
  return encode_bmp24(pic);
}

Picture reduce_to_palette(const Picture& pic) {
  for (int drop = 1; drop <= 7; ++drop) {
    Picture out = pic;
    const uint32_t keep = (0xFFu << drop) & 0xFFu;
    const uint32_t half = drop > 0 ? (1u << (drop - 1)) : 0;
    std::map<uint32_t, int> seen;
    for (uint32_t& c : out.pixels) {
      uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
      r = (r & keep) | half;
      g = (g & keep) | half;
      b = (b & keep) | half;
      c = 0xFF000000u | (r << 16) | (g << 8) | b;
      seen[c] = 1;
    }
    if (seen.size() <= 256) return out;
  }
  return pic;
}

}  // namespace quarvel::assets
