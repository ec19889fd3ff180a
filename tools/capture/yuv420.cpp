// The conversion of video frames to yuv420p, as ffmpeg's own conversion
// from bgra makes it. Built with -O3 (see CMakeLists.txt): its plain loops
// then run on vector registers.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "video.h"

namespace quarvel::capture {

namespace {

// The levels (0 to 255) of a pixel's channel.
float red(uint32_t c) { return static_cast<float>(c >> 16 & 0xFF); }
float green(uint32_t c) { return static_cast<float>(c >> 8 & 0xFF); }
float blue(uint32_t c) { return static_cast<float>(c & 0xFF); }

// BT.601 limited range, before the offset and rounding.
float luma(float r, float g, float b) { return r * (65.481f / 255) + g * (128.553f / 255) + b * (24.966f / 255); }
float chroma_u(float r, float g, float b) { return r * (-37.797f / 255) + g * (-74.203f / 255) + b * (112.0f / 255); }
float chroma_v(float r, float g, float b) { return r * (112.0f / 255) + g * (-93.786f / 255) + b * (-18.214f / 255); }

// Rounded to nearest and clamped, in a form the compiler can run on
// vector registers (min and max, no branch).
uint8_t level(float v) { return static_cast<uint8_t>(static_cast<int>(std::min(std::max(v, 0.0f), 255.0f) + 0.5f)); }
// Luma levels need no clamp: 16 to 235.
uint8_t luma_level(uint32_t c) { return static_cast<uint8_t>(static_cast<int>(16.5f + luma(red(c), green(c), blue(c)))); }

// ffmpeg's chroma filter from 2n rows down to n: its bicubic (a = -0.6) at
// half scale, k(d / 2) / 2 for the rows 0.5, 1.5, 2.5 and 3.5 rows from the
// sample's centre (rows 2 cy - 3 to 2 cy + 4).
constexpr float kChromaTaps[8] = {-0.0140625f, -0.0421875f, 0.1203125f, 0.4359375f,
                                  0.4359375f,  0.1203125f,  -0.0421875f, -0.0140625f};

// The chroma planes at the picture's own size.
void chroma_unscaled(const Picture& pic, uint8_t* u_out, uint8_t* v_out) {
  const int cw = pic.width / 2, ch = pic.height / 2;
  // Each row's column pairs, averaged, as U and V.
  std::vector<float> u_rows(static_cast<size_t>(cw) * pic.height), v_rows(u_rows.size());
  for (int y = 0; y < pic.height; ++y) {
    const uint32_t* src = &pic.pixels[static_cast<size_t>(y) * pic.width];
    float* u = &u_rows[static_cast<size_t>(y) * cw];
    float* v = &v_rows[static_cast<size_t>(y) * cw];
    for (int cx = 0; cx < cw; ++cx) {
      const uint32_t a = src[2 * cx], b = src[2 * cx + 1];
      const float r = (red(a) + red(b)) * 0.5f, g = (green(a) + green(b)) * 0.5f, bl = (blue(a) + blue(b)) * 0.5f;
      u[cx] = chroma_u(r, g, bl);
      v[cx] = chroma_v(r, g, bl);
    }
  }
  std::vector<float> u_sum(static_cast<size_t>(cw)), v_sum(u_sum.size());
  for (int cy = 0; cy < ch; ++cy) {
    std::fill(u_sum.begin(), u_sum.end(), 128.0f);
    std::fill(v_sum.begin(), v_sum.end(), 128.0f);
    for (int k = 0; k < 8; ++k) {
      const int y = std::clamp(2 * cy - 3 + k, 0, pic.height - 1);
      const float* u = &u_rows[static_cast<size_t>(y) * cw];
      const float* v = &v_rows[static_cast<size_t>(y) * cw];
      const float t = kChromaTaps[k];
      for (int cx = 0; cx < cw; ++cx) {
        u_sum[cx] += t * u[cx];
        v_sum[cx] += t * v[cx];
      }
    }
    for (int cx = 0; cx < cw; ++cx) {
      u_out[static_cast<size_t>(cy) * cw + cx] = level(u_sum[cx]);
      v_out[static_cast<size_t>(cy) * cw + cx] = level(v_sum[cx]);
    }
  }
}

}  // namespace

YuvPicture to_yuv420(const Picture& pic, int scale) {
  YuvPicture out;
  if (pic.empty() || scale < 1) return out;
  out.width = pic.width * scale;
  out.height = pic.height * scale;
  const int w = out.width, h = out.height, cw = w / 2, ch = h / 2;
  out.bytes.resize(static_cast<size_t>(w) * h + 2 * static_cast<size_t>(cw) * ch);
  uint8_t* y_plane = out.bytes.data();
  uint8_t* u_plane = y_plane + static_cast<size_t>(w) * h;
  uint8_t* v_plane = u_plane + static_cast<size_t>(cw) * ch;
  for (int y = 0; y < h; ++y) {
    const uint32_t* src = &pic.pixels[static_cast<size_t>(y / scale) * pic.width];
    uint8_t* dst = y_plane + static_cast<size_t>(y) * w;
    if (scale == 1) {
      for (int x = 0; x < w; ++x) dst[x] = luma_level(src[x]);
    } else {
      for (int x = 0; x < w; ++x) dst[x] = luma_level(src[x / scale]);
    }
  }
  if (scale == 1) {
    chroma_unscaled(pic, u_plane, v_plane);
    return out;
  }
  for (int cy = 0; cy < ch; ++cy)
    for (int cx = 0; cx < cw; ++cx) {
      const uint32_t c = pic.at(std::min((2 * cx + 1) / scale, pic.width - 1), std::min((2 * cy + 1) / scale, pic.height - 1));
      u_plane[static_cast<size_t>(cy) * cw + cx] = level(128.0f + chroma_u(red(c), green(c), blue(c)));
      v_plane[static_cast<size_t>(cy) * cw + cx] = level(128.0f + chroma_v(red(c), green(c), blue(c)));
    }
  return out;
}

}  // namespace quarvel::capture
