// The explosion's viewport effects and beat flash.
#include "scenes/explosion_effects.h"

#include <cmath>

#include "controls/effects.h"
#include "scene/helpers.h"

namespace quarvel::scene {

int32_t advance_angle_vue(int32_t angle_vue) { return ((angle_vue + angle_vue / 64) % 640) + 1; }

rm::Rect turning_window(int32_t angle_vue) {
  const double a = deg(angle_vue / 10.0);
  const auto b = static_cast<int32_t>(Round(100.0 * std::cos(a)));
  const auto s = static_cast<int32_t>(Round(100.0 * std::sin(a)));
  return {500 - b / 2, 240 - s / 2, 2 * b, s};
}

rm::Rect growing_window(int32_t angle_vue) {
  const int32_t h = angle_vue / 2;
  return {320 - h, static_cast<int>(Round(240.0 - 0.75 * h)), angle_vue,
          static_cast<int>(Round(0.75 * angle_vue))};
}

bool is_beat(uint32_t level) { return (level & 0xFFFFu) > 101u; }

void flash_contrast(Show& s) {
  if (!s.explosion.flash_fini) {
    s.explosion.flash_n += 12;
    if (s.explosion.flash_n > 250) s.explosion.flash_fini = true;
    controls::Contraste(s, 0, static_cast<uint8_t>(s.explosion.flash_n & 0xFF));
  } else {
    controls::Contraste(s, 24, 145);
  }
}

}  // namespace quarvel::scene
