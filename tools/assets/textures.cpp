#include "textures.h"

#include <algorithm>
#include <cmath>

#include "app/form_pictures.h"
#include "geometry.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_image_write.h>
#pragma GCC diagnostic pop

namespace quarvel::assets {

namespace {

uint32_t rgb(float r, float g, float b) {
  auto c = [](float v) {
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  return 0xFF000000u | (c(r) << 16) | (c(g) << 8) | c(b);
}

// Value noise whose lattice wraps every `period` cells, so the result tiles.
float tile_noise(float x, float y, int period, uint32_t seed) {
  auto wrap = [period](int i) { return ((i % period) + period) % period; };
  return lattice_noise(x, y, [&](int i, int j) { return lattice_hash(wrap(i), wrap(j), seed); });
}

// Fractal sum of tiling noise over a picture of `size` pixels, 0..1.
float fbm_tile(float px, float py, int size, int base_cells, int octaves, uint32_t seed) {
  float sum = 0, amp = 0.5f, norm = 0;
  int cells = base_cells;
  for (int o = 0; o < octaves; ++o) {
    float s = static_cast<float>(cells) / size;
    sum += amp * tile_noise(px * s, py * s, cells, seed + o * 101u);
    norm += amp;
    amp *= 0.5f;
    cells *= 2;
  }
  return sum / norm;
}

// A square texture of n x n pixels, each given by `pixel(x, y)`.
template <typename F>
Picture square_texture(int n, F pixel) {
  Picture p(n, n);
  p.bits = 24;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) p.at(x, y) = pixel(x, y);
  return p;
}

}  // namespace

Picture make_moss_texture() {
  const int n = 256;
  return square_texture(n, [](int x, int y) {
    float f = fbm_tile(static_cast<float>(x), static_cast<float>(y), n, 8, 5, 11);
    float g = fbm_tile(static_cast<float>(x), static_cast<float>(y), n, 32, 3, 23);
    float clump = std::clamp((f - 0.35f) * 2.2f, 0.0f, 1.0f);
    float r = 0.10f + 0.18f * clump + 0.10f * g;
    float gg = 0.22f + 0.40f * clump + 0.18f * g;
    float b = 0.06f + 0.08f * clump;
    return rgb(r, gg, b);
  });
}

Picture make_fire_texture() {
  const int n = 128;
  return square_texture(n, [](int x, int y) {
    float fx = static_cast<float>(x), fy = static_cast<float>(y);
    float turb = fbm_tile(fx, fy * 0.6f, n, 4, 4, 77);
    float height = 1.0f - fy / n;  // 1 at the top
    float heat = std::clamp(1.15f - height * 1.1f + (turb - 0.5f) * 0.9f, 0.0f, 1.0f);
    float r = std::min(1.0f, heat * 1.6f);
    float g = std::clamp((heat - 0.35f) * 1.5f, 0.0f, 1.0f);
    float b = std::clamp((heat - 0.8f) * 3.0f, 0.0f, 1.0f);
    return rgb(r, g, b);
  });
}

Picture make_tree_texture() {
  const int n = 128;
  const int bark = static_cast<int>(kTreeBarkV * n);
  return square_texture(n, [bark](int x, int y) {
    float fx = static_cast<float>(x), fy = static_cast<float>(y);
    if (y < bark) {
      float leaf = fbm_tile(fx, fy, n, 16, 3, 5);
      float fine = lattice_hash(x, y, 9);
      // Bright needles over dark gaps: the tree material is dark, so the
      // lit side of a crown comes out bright and the far side near black.
      float l = std::clamp(leaf * 1.6f - 0.35f + fine * 0.2f, 0.0f, 1.0f);
      return rgb(0.06f + 0.42f * l * l, 0.14f + 0.76f * l, 0.05f + 0.2f * l * l);
    }
    float stripe = tile_noise(fx * 0.25f, fy * 0.02f, 32, 3);
    float fine = lattice_hash(x, y, 4);
    float l = 0.5f + 0.35f * stripe + 0.15f * fine;
    return rgb(0.32f * l, 0.21f * l, 0.12f * l);
  });
}

Picture make_explosion_texture() {
  const int n = 128;
  return square_texture(n, [](int x, int y) {
    float fx = static_cast<float>(x), fy = static_cast<float>(y);
    float t = fbm_tile(fx, fy, n, 4, 5, 31);
    float s = fbm_tile(fx, fy, n, 16, 2, 37);
    float heat = std::clamp((t - 0.3f) * 2.2f + (s - 0.5f) * 0.5f, 0.0f, 1.0f);
    // The explosion is shown through the contrast window 24..145 (input
    // 0.094 is black, 0.57 white), so the colours sit inside it: sooty
    // smoke, deep red, orange, and a yellow-white core only where it is
    // hottest.
    const float stops[][3] = {{0.11f, 0.1f, 0.095f}, {0.36f, 0.11f, 0.08f}, {0.56f, 0.27f, 0.1f},
                              {0.6f, 0.45f, 0.16f}, {0.7f, 0.62f, 0.42f}};
    float x4 = heat * 4.0f;
    int i = std::min(3, static_cast<int>(x4));
    float f = x4 - i;
    return rgb(stops[i][0] + (stops[i + 1][0] - stops[i][0]) * f, stops[i][1] + (stops[i + 1][1] - stops[i][1]) * f,
               stops[i][2] + (stops[i + 1][2] - stops[i][2]) * f);
  });
}

Picture make_title_picture() {
  const int w = 512, h = 384;
  Picture p(w, h);
  p.bits = 24;
  // Sky: deep blue above, violet and orange near the horizon.
  for (int y = 0; y < h; ++y) {
    float t = static_cast<float>(y) / h;
    for (int x = 0; x < w; ++x) {
      float r = 0.03f + 0.55f * t * t, g = 0.03f + 0.16f * t * t, b = 0.16f + 0.30f * t;
      p.at(x, y) = rgb(r, g, b);
    }
  }
  // Stars.
  Rng rng(1234);
  for (int i = 0; i < 260; ++i) {
    int x = static_cast<int>(rng.uniform() * w), y = static_cast<int>(rng.uniform() * h * 0.6f);
    float l = 0.5f + 0.5f * rng.uniform();
    p.at(x, y) = rgb(l, l, l * 0.9f + 0.1f);
  }
  // A large planet low on the left.
  const float pcx = 120, pcy = 300, pr = 150;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      float dx = x - pcx, dy = y - pcy, d = std::sqrt(dx * dx + dy * dy);
      if (d < pr) {
        float shade = std::clamp(0.25f + 0.75f * (-(dx + dy) / (1.4f * pr) + 0.5f), 0.0f, 1.0f);
        float band = 0.5f + 0.5f * std::sin(dy * 0.09f + value_noise(x * 0.03f, y * 0.03f, 3) * 2);
        p.at(x, y) = rgb((0.35f + 0.3f * band) * shade, (0.22f + 0.2f * band) * shade,
                         (0.45f + 0.2f * band) * shade);
      } else if (d < pr + 10) {
        float a = 1.0f - (d - pr) / 10;
        uint32_t c = p.at(x, y);
        float r = ((c >> 16) & 0xFF) / 255.0f, g = ((c >> 8) & 0xFF) / 255.0f,
              b = (c & 0xFF) / 255.0f;
        p.at(x, y) = rgb(r + 0.5f * a, g + 0.4f * a, b + 0.6f * a);
      }
    }
  // Hills in front.
  for (int x = 0; x < w; ++x) {
    float top = h - 70 + 25 * std::sin(x * 0.013f) + 12 * value_noise(x * 0.02f, 0.5f, 8);
    for (int y = std::max(0, static_cast<int>(top)); y < h; ++y) {
      float t = (y - top) / 80.0f;
      p.at(x, y) = rgb(0.04f + 0.05f * t, 0.10f + 0.10f * (1 - t), 0.06f);
    }
  }
  // Title and names.
  const std::string title = "QUARVEL";
  int s = 10;
  int tw = text_width(title, s);
  int tx = (w - tw) / 2, ty = 70;
  for (int r = 3; r >= 1; --r)
    for (int dy = -r; dy <= r; ++dy)
      for (int dx = -r; dx <= r; ++dx)
        draw_text(p, tx + dx * 2, ty + dy * 2, title, s, r == 1 ? 0xFF401000u : 0xFF200830u);
  draw_text(p, tx, ty, title, s, 0xFFF8D060u);
  const std::string team = "T E A M";
  int ww = text_width(team, 4);
  draw_text_outlined(p, (w - ww) / 2, 170, team, 4, 0xFFFFFFFFu, 0xFF302050u);
  const std::string names = "Avelo  Kesrin  Zebulor";
  int nw = text_width(names, 2);
  draw_text_outlined(p, (w - nw) / 2, 226, names, 2, 0xFFB0D0FFu, 0xFF101030u);
  return p;
}

std::vector<uint8_t> encode_jpeg(const Picture& pic, int quality) {
  std::vector<uint8_t> rgbdata;
  rgbdata.reserve(pic.pixels.size() * 3);
  for (uint32_t c : pic.pixels) {
    rgbdata.push_back(static_cast<uint8_t>(c >> 16));
    rgbdata.push_back(static_cast<uint8_t>(c >> 8));
    rgbdata.push_back(static_cast<uint8_t>(c));
  }
  std::vector<uint8_t> out;
  stbi_write_jpg_to_func(
      [](void* ctx, void* data, int size) {
        auto* v = static_cast<std::vector<uint8_t>*>(ctx);
        const uint8_t* d = static_cast<const uint8_t*>(data);
        v->insert(v->end(), d, d + size);
      },
      &out, pic.width, pic.height, 3, rgbdata.data(), quality);
  return out;
}

}  // namespace quarvel::assets
