#include "platform/render/surface2d.h"

#include <algorithm>

namespace quarvel::render {
namespace {

// The part of `r` inside a w x h surface; empty when nothing is left.
Rect clip(Rect r, int w, int h) {
  if (r.w <= 0 || r.h <= 0) return {};
  long x0 = std::max<long>(r.x, 0), y0 = std::max<long>(r.y, 0);
  long x1 = std::min<long>(static_cast<long>(r.x) + r.w, w);
  long y1 = std::min<long>(static_cast<long>(r.y) + r.h, h);
  if (x1 <= x0 || y1 <= y0) return {};
  return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

inline bool keyed(uint32_t px, bool transparent, uint32_t key) {
  return transparent && ((px ^ key) & 0x00FFFFFFu) == 0;
}

inline uint32_t mix(uint32_t s, uint32_t d, uint32_t a) {
  const uint32_t na = 255 - a;
  uint32_t r = (((s >> 16) & 0xFF) * a + ((d >> 16) & 0xFF) * na + 127) / 255;
  uint32_t g = (((s >> 8) & 0xFF) * a + ((d >> 8) & 0xFF) * na + 127) / 255;
  uint32_t b = ((s & 0xFF) * a + (d & 0xFF) * na + 127) / 255;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

}  // namespace

uint32_t device_colour_to_argb(uint32_t raw) {
  const uint32_t r5 = (raw >> 11) & 0x1F, g6 = (raw >> 5) & 0x3F, b5 = raw & 0x1F;
  const uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4), b = (b5 << 3) | (b5 >> 2);
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

uint32_t bgr_to_argb(uint32_t bgr) {
  return 0xFF000000u | ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

void fill_rect(Picture& dst, Rect r, uint32_t raw) {
  const Rect c = clip(r, dst.width, dst.height);
  if (c.w <= 0) return;
  const uint32_t px = device_colour_to_argb(raw);
  for (int y = c.y; y < c.y + c.h; ++y) {
    uint32_t* row = &dst.pixels[static_cast<size_t>(y) * dst.width];
    std::fill(row + c.x, row + c.x + c.w, px);
  }
}

void fill(Picture& dst, uint32_t raw) {
  std::fill(dst.pixels.begin(), dst.pixels.end(), device_colour_to_argb(raw));
}

void copy_picture(Picture& dst, const Picture& src, int x, int y, bool transparent, uint32_t key_argb) {
  if (src.empty()) return;
  const Rect c = clip({x, y, src.width, src.height}, dst.width, dst.height);
  if (c.w <= 0) return;
  for (int dy = c.y; dy < c.y + c.h; ++dy) {
    const uint32_t* s = &src.pixels[static_cast<size_t>(dy - y) * src.width + (c.x - x)];
    uint32_t* d = &dst.pixels[static_cast<size_t>(dy) * dst.width + c.x];
    for (int i = 0; i < c.w; ++i) {
      if (!keyed(s[i], transparent, key_argb)) d[i] = s[i] | 0xFF000000u;
    }
  }
}

void blend_stretched(Picture& dst, const Picture& src, Rect r, int opacity, bool transparent,
                     uint32_t key_argb) {
  if (opacity <= 0 || src.empty()) return;
  const Rect c = clip(r, dst.width, dst.height);
  if (c.w <= 0) return;
  const uint32_t a = static_cast<uint32_t>(std::min(opacity, 255));
  for (int dy = c.y; dy < c.y + c.h; ++dy) {
    const long sy = static_cast<long>(dy - r.y) * src.height / r.h;
    const uint32_t* srow = &src.pixels[static_cast<size_t>(sy) * src.width];
    uint32_t* d = &dst.pixels[static_cast<size_t>(dy) * dst.width];
    for (int dx = c.x; dx < c.x + c.w; ++dx) {
      const long sx = static_cast<long>(dx - r.x) * src.width / r.w;
      const uint32_t s = srow[sx];
      if (keyed(s, transparent, key_argb)) continue;
      d[dx] = a == 255 ? (s | 0xFF000000u) : mix(s, d[dx], a);
    }
  }
}

}  // namespace quarvel::render
