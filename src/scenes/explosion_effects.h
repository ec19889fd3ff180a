#pragma once
// The explosion's viewport effects and beat flash, as plain arithmetic
// (integer div and mod truncate toward zero, as C++ does).
#include <cstdint>

#include "platform/retained/viewport.h"
#include "scene/show.h"

namespace quarvel::scene {

// angle_vue (tenths of a degree) one step on: ((a + a div 64) mod 640) + 1.
int32_t advance_angle_vue(int32_t angle_vue);

// The turning window: b = Round(100 cos a), s = Round(100 sin a) with a =
// angle_vue / 10 degrees; (500 - b div 2, 240 - s div 2, 2 b, s). The size
// may be zero or negative.
rm::Rect turning_window(int32_t angle_vue);

// The growing window: a 4:3 window centred on (320, 240), angle_vue wide.
rm::Rect growing_window(int32_t angle_vue);

// A loud moment: the left level (low 16 bits) above 101.
bool is_beat(uint32_t level);

// One tick of the flash ramp: 21 ticks from Contraste(0, 12) up in steps
// of 12, then the scene's own Contraste(24, 145).
void flash_contrast(Show& s);

}  // namespace quarvel::scene
