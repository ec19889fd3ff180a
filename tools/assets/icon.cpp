#include "icon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "app/form_pictures.h"
#include "textures.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

namespace quarvel::assets {
namespace {

uint8_t channel(uint32_t c, int shift) { return static_cast<uint8_t>((c >> shift) & 0xFF); }

// The mean colour of the pixels of `pic` in [x0, x1) x [y0, y1).
uint32_t area_mean(const Picture& pic, int x0, int y0, int x1, int y1) {
  uint32_t sum[3] = {0, 0, 0}, count = 0;
  for (int y = y0; y < std::max(y1, y0 + 1); ++y)
    for (int x = x0; x < std::max(x1, x0 + 1); ++x, ++count)
      for (int k = 0; k < 3; ++k) sum[k] += channel(pic.at(x, y), 16 - 8 * k);
  return 0xFF000000u | (sum[0] / count) << 16 | (sum[1] / count) << 8 | sum[2] / count;
}

// The square of `pic` with its corner at (x0, y0) and side `side`, scaled
// to kIconSize by averaging.
Picture shrink_square(const Picture& pic, int x0, int y0, int side) {
  Picture out(kIconSize, kIconSize);
  auto edge = [&](int i) { return i * side / kIconSize; };
  for (int y = 0; y < kIconSize; ++y)
    for (int x = 0; x < kIconSize; ++x)
      out.at(x, y) = area_mean(pic, x0 + edge(x), y0 + edge(y), x0 + edge(x + 1), y0 + edge(y + 1));
  return out;
}

}  // namespace

Picture make_icon_picture() {
  const Picture title = make_title_picture();
  // The planet and the hills below the title's names (which end above 248).
  const int side = 136;
  Picture icon = shrink_square(title, 40, title.height - side, side);
  // The flames rise over the hills, strongest at the bottom.
  const Picture fire = shrink_square(make_fire_texture(), 0, 0, make_fire_texture().width);
  for (int y = 0; y < kIconSize; ++y) {
    const float weight = std::clamp((y - kIconSize * 0.55f) / (kIconSize * 0.35f), 0.0f, 1.0f);
    for (int x = 0; x < kIconSize; ++x) {
      uint32_t c = 0xFF000000u;
      for (int shift : {16, 8, 0}) {
        const float v = channel(icon.at(x, y), shift) + weight * channel(fire.at(x, y), shift);
        c |= static_cast<uint32_t>(std::min(255.0f, v)) << shift;
      }
      icon.at(x, y) = c;
    }
  }
  // The title's first letter in its colours: a dark halo, then gold.
  const int scale = 6;
  const int qx = (kIconSize - text_width("Q", scale)) / 2 + scale / 2, qy = 6;
  for (int r = 2; r >= 1; --r)
    for (int dy = -r; dy <= r; ++dy)
      for (int dx = -r; dx <= r; ++dx)
        draw_text(icon, qx + dx * 2, qy + dy * 2, "Q", scale, r == 1 ? 0xFF401000u : 0xFF200830u);
  draw_text(icon, qx, qy, "Q", scale, 0xFFF8D060u);
  // Rounded corners: outside a quarter circle of radius `corner` is clear.
  const float corner = kIconSize * 0.18f;
  for (int y = 0; y < kIconSize; ++y)
    for (int x = 0; x < kIconSize; ++x) {
      const float cx = std::clamp(x + 0.5f, corner, kIconSize - corner);
      const float cy = std::clamp(y + 0.5f, corner, kIconSize - corner);
      const float alpha = std::clamp(corner - std::hypot(x + 0.5f - cx, y + 0.5f - cy) + 0.5f, 0.0f, 1.0f);
      icon.at(x, y) = (icon.at(x, y) & 0xFFFFFFu) | static_cast<uint32_t>(std::lround(alpha * 255.0f)) << 24;
    }
  return icon;
}

AssetFile make_icon_file() {
  const Picture icon = make_icon_picture();
  std::vector<uint8_t> rgba;
  rgba.reserve(icon.pixels.size() * 4);
  for (uint32_t c : icon.pixels)
    for (int shift : {16, 8, 0, 24}) rgba.push_back(channel(c, shift));
  AssetFile file{"quarvel.png", {}};
  stbi_write_png_to_func(
      [](void* ctx, void* data, int size) {
        auto* v = static_cast<std::vector<uint8_t>*>(ctx);
        const uint8_t* d = static_cast<const uint8_t*>(data);
        v->insert(v->end(), d, d + size);
      },
      &file.bytes, icon.width, icon.height, 4, rgba.data(), icon.width * 4);
  return file;
}

}  // namespace quarvel::assets
