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

// The opening's ground. The show maps it flat onto the ground every 100
// units and moves it by a fifth of its width along u on every tick, and the
// ground is mostly seen from hundreds or thousands of units away, where a
// whole repeat covers a few pixels. So the texture holds only broad, soft
// variation (smooth noise with cells of 25 pixels and more, no per-pixel
// grain that would alias or crawl), and along u it repeats exactly five
// times: the shift of each tick lands on the same picture and the ground
// stands still. The ground's material sets its colour; this only breaks it
// up a little into lighter grass and darker moss.
Picture make_moss_texture() {
  const int n = 256;
  const int u_repeats = 5;
  // Smooth noise over cells_u x cells_v per period, wrapping in both axes.
  auto noise = [](float u, float v, int cells_u, int cells_v, uint32_t seed) {
    auto wrap = [](int i, int p) { return ((i % p) + p) % p; };
    return lattice_noise(u * cells_u, v * cells_v, [&](int i, int j) {
      return lattice_hash(wrap(i, cells_u), wrap(j, cells_v), seed);
    });
  };
  return square_texture(n, [&](int x, int y) {
    // u runs over five periods across the picture, v over one.
    float u = (static_cast<float>(x) + 0.5f) / n * u_repeats, v = (static_cast<float>(y) + 0.5f) / n;
    float broad = 0.65f * noise(u, v, 2, 5, 11) + 0.35f * noise(u, v, 4, 10, 23);
    float patch = std::clamp((noise(u, v, 2, 4, 37) - 0.3f) * 2.5f, 0.0f, 1.0f);
    // Moss green to a dry olive, kept bright: the ground's material sets
    // the overall shade, lit.
    // Faint: a repeat every 20 units across is seen edge-on in the distance,
    // where a stronger pattern would band.
    float l = 0.9f + 0.1f * broad;
    float r = l * (0.8f + 0.08f * patch), g = l * (0.94f - 0.02f * patch), b = l * (0.66f + 0.02f * patch);
    return rgb(r, g, b);
  });
}

// Baked shading for a ship the show paints plain white, which its lights
// then clip to a flat white: across (u) the light a face is given, from
// shadow to full, down (v) four bands, one per kind of part: hull, dark
// panels, canopy glass, engine glow. The ramps are smooth, with nothing finer
// than the band itself.
Picture make_hull_texture() {
  const int n = 64;
  const float bands[kHullBands][3] = {{0.86f, 0.88f, 0.92f}, {0.42f, 0.45f, 0.52f}, {0.35f, 0.6f, 0.9f},
                                      {1.0f, 0.62f, 0.25f}};
  return square_texture(n, [&](int x, int y) {
    const float* c = bands[std::min(kHullBands - 1, y * kHullBands / n)];
    float u = (static_cast<float>(x) + 0.5f) / n;
    float l = 0.22f + 0.78f * u;
    float warm = 0.08f * u * u;  // the lit side a little warmer
    return rgb(c[0] * l + warm, c[1] * l + warm * 0.6f, c[2] * l);
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
    // Heat rises down the picture (v from 0 to 1): the fireball maps its core
    // to the bottom rows and its outer puffs higher up, so every piece is
    // yellow in the middle and red-orange at its rim. The turbulence keeps
    // the bands from reading as stripes.
    float heat = std::clamp(fy / n * 1.1f - 0.05f + (t - 0.5f) * 0.7f + (s - 0.5f) * 0.3f, 0.0f, 1.0f);
    // The explosion is shown through the contrast window 24..145 (input
    // 0.094 is black, 0.57 white) and behind black scan lines on every other
    // row, so the fire must sit near the top of that window to read. The
    // stops are the wanted screen colours taken back through the window:
    // deep red, red-orange, orange, yellow, and a yellow-white core. Green
    // stays below red and blue below green, so that the washed-out windows
    // after a flash turn the fire yellow-white and never green or blue.
    const float screen[][3] = {{0.45f, 0.06f, 0.0f}, {0.85f, 0.28f, 0.0f}, {1.0f, 0.55f, 0.05f},
                               {1.0f, 0.85f, 0.25f}, {1.0f, 1.0f, 0.7f}};
    auto window = [](float out) { return (out * 121.0f + 24.0f) / 255.0f; };
    float x4 = heat * 4.0f;
    int i = std::min(3, static_cast<int>(x4));
    float f = x4 - i;
    float c[3];
    for (int k = 0; k < 3; ++k) c[k] = window(screen[i][k] + (screen[i + 1][k] - screen[i][k]) * f);
    return rgb(c[0], c[1], c[2]);
  });
}

// The backdrop behind several scenes and on the explosion's slab: a plain
// night sky that leaves the middle of the picture to the scenes in front of
// it, with a small title low in one corner.
Picture make_title_picture() {
  const int w = 512, h = 384;
  Picture p(w, h);
  p.bits = 24;
  // Sky: deep blue above, a faint violet glow near the bottom edge, with a
  // little cloud noise so that it does not band.
  for (int y = 0; y < h; ++y) {
    float t = static_cast<float>(y) / h;
    for (int x = 0; x < w; ++x) {
      float haze = 0.03f * fbm_tile(static_cast<float>(x), static_cast<float>(y) * 2.0f, w, 4, 3, 57);
      float glow = t * t * t;
      p.at(x, y) = rgb(0.02f + 0.16f * glow + haze, 0.03f + 0.06f * glow + haze, 0.12f + 0.16f * t + haze);
    }
  }
  // Stars, fewer towards the glow.
  Rng rng(1234);
  for (int i = 0; i < 220; ++i) {
    int x = static_cast<int>(rng.uniform() * w), y = static_cast<int>(rng.uniform() * h * 0.85f);
    float l = 0.35f + 0.5f * rng.uniform();
    p.at(x, y) = rgb(l, l, l * 0.9f + 0.1f);
  }
  // The title, small, in the bottom right corner.
  const std::string title = "QUARVEL", names = "Avelo  Kesrin  Zebulor";
  int tw = text_width(title, 3), nw = text_width(names, 1);
  draw_text_outlined(p, w - tw - 14, h - 52, title, 3, 0xFFE8C060u, 0xFF201030u);
  draw_text(p, w - nw - 14, h - 20, names, 1, 0xFF90A8D0u);
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
