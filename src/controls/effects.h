#pragma once
// Whole-picture effects: contrast and green-negative gamma ramps, the
// blinking light, the opening letterbox band and the field widening.
#include <cstdint>

#include "platform/render/gamma.h"
#include "scene/show.h"

namespace quarvel::controls {

// The ramps the two gamma effects set (kept apart for tests).
render::GammaRamp contrast_ramp(uint8_t low, uint8_t high);
render::GammaRamp green_negative_ramp(uint8_t low, uint8_t high);

void Contraste(scene::Show& s, uint8_t low, uint8_t high);
void Contraste2(scene::Show& s, uint8_t low, uint8_t high);
void clignote(scene::Show& s);
void ecran16(scene::Show& s);
void Focale_visu(scene::Show& s);

}  // namespace quarvel::controls
