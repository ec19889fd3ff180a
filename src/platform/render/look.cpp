#include "platform/render/look.h"

namespace quarvel::render {

const char* look_name(Look look) {
  switch (look) {
    case Look::Original: return "original";
    case Look::Smooth: return "smooth";
    case Look::Sharp: break;
  }
  return "sharp";
}

std::optional<Look> look_from_name(std::string_view name) {
  for (Look l : kLooks)
    if (name == look_name(l)) return l;
  return std::nullopt;
}

std::string look_names() { return "sharp, original or smooth"; }

Look next_look(Look look) {
  for (size_t i = 0; i < kLooks.size(); ++i)
    if (kLooks[i] == look) return kLooks[(i + 1) % kLooks.size()];
  return Look::Sharp;
}

int dither_threshold(int x, int y) {
  // The 4 x 4 Bayer matrix: neighbouring thresholds as far apart as can be.
  static constexpr int kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
  return kBayer[(y & 3) * 4 + (x & 3)];
}

uint8_t dither_channel(int c, int bits, int t) {
  const int top = (1 << bits) - 1;
  // A level widened to 8 bits as the display's digital-to-analogue side
  // does: its bits repeated into the low ones.
  auto widen = [bits](int v) { return (v << (8 - bits)) | (v >> (2 * bits - 8)); };
  int v = c >> (8 - bits);
  if (widen(v) > c) --v;
  const int low = widen(v);
  if (v >= top || low == c) return static_cast<uint8_t>(low);
  const int high = widen(v + 1);
  // Above the threshold (t + 1/2) / 16 of the way from `low` to `high`, in
  // whole numbers.
  return static_cast<uint8_t>((c - low) * 32 > (2 * t + 1) * (high - low) ? high : low);
}

uint32_t dither_565(uint32_t argb, int x, int y) {
  const int t = dither_threshold(x, y);
  const uint32_t r = dither_channel((argb >> 16) & 255, 5, t);
  const uint32_t g = dither_channel((argb >> 8) & 255, 6, t);
  const uint32_t b = dither_channel(argb & 255, 5, t);
  return (argb & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

}  // namespace quarvel::render
