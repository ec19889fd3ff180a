#pragma once
// A gamma ramp: for each of red, green and blue, 256 unsigned 16-bit
// entries mapping an 8-bit channel value to an output level (0..65535).
#include <array>
#include <cstdint>

namespace quarvel::render {

struct GammaRamp {
  std::array<uint16_t, 256> red{};
  std::array<uint16_t, 256> green{};
  std::array<uint16_t, 256> blue{};

  // The ramp that changes nothing: entry i = i * 257.
  static GammaRamp identity() {
    GammaRamp g;
    for (int i = 0; i < 256; ++i) {
      g.red[i] = g.green[i] = g.blue[i] = static_cast<uint16_t>(i * 257);
    }
    return g;
  }

  // What an entry gives on an 8-bit output: the level scaled to 0..255,
  // rounded to nearest.
  static uint8_t to_8bit(uint16_t level) { return static_cast<uint8_t>((level * 255u + 32767u) / 65535u); }

  bool operator==(const GammaRamp&) const = default;
};

}  // namespace quarvel::render
