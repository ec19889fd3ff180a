#include "scene/helpers.h"

#include <array>
#include <cmath>
#include <numbers>

namespace quarvel::scene {
namespace {

// Trunc(255 v) kept to its low 32 bits, as the packing or-s it in 32 bits.
uint32_t channel(float v) { return static_cast<uint32_t>(static_cast<uint64_t>(Trunc(255.0 * v))); }

const std::array<double, 256>& cosine_table() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (int n = 0; n < 256; ++n) t[static_cast<size_t>(n)] = std::cos(2.0 * std::numbers::pi * n / 256.0);
    return t;
  }();
  return table;
}

}  // namespace

uint32_t RGBA(float r, float g, float b, float a) {
  return (channel(a) << 24) | (channel(r) << 16) | (channel(g) << 8) | channel(b);
}

uint32_t RGB(float r, float g, float b) { return RGBA(r, g, b, 1.0f); }

int64_t Round(double x) {
  const double whole = std::floor(x);
  const double rest = x - whole;
  auto n = static_cast<int64_t>(whole);
  if (rest > 0.5 || (rest == 0.5 && (n & 1) != 0)) ++n;
  return n;
}

int64_t Trunc(double x) { return static_cast<int64_t>(x); }

double table_cos(int64_t n) { return cosine_table()[static_cast<size_t>(static_cast<uint64_t>(n) & 0xFFu)]; }

double table_sin(int64_t n) { return table_cos(n + 192); }

double deg(double degrees) { return degrees * std::numbers::pi / 180.0; }

float clock_step(uint32_t position, uint32_t previous, uint32_t track_bytes) {
  int64_t step = static_cast<int32_t>(position - previous);
  if (track_bytes > 0 && -step > int64_t{track_bytes} / 2) step = ((step % track_bytes) + track_bytes) % track_bytes;
  return static_cast<float>(static_cast<double>(step) / 1500.0);
}

}  // namespace quarvel::scene
