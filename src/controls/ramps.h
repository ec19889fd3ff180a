#pragma once
// Every gamma ramp the show builds: the contrast window, the green negative
// and the saved ramp darkened by a fixed amount.
#include <cstdint>

#include "platform/render/gamma.h"

namespace quarvel::controls {

// Black up to `low`, white from `high` on, a straight rise in between; the
// same on all three channels. High below low is a hard threshold.
render::GammaRamp contrast_ramp(uint8_t low, uint8_t high);

// Green only, falling from full at `low` to none at `high`; red and blue
// stay black.
render::GammaRamp green_negative_ramp(uint8_t low, uint8_t high);

// `base` darkened by `step` on every entry of every channel, never below 0.
render::GammaRamp darkened_ramp(const render::GammaRamp& base, int64_t step);

}  // namespace quarvel::controls
