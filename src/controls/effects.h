#pragma once
// Whole-picture effects: the contrast and green-negative ramps put on the
// display, the blinking light, the opening letterbox band and the field
// widening.
#include <cstdint>

#include "controls/ramps.h"
#include "scene/show.h"

namespace quarvel::controls {

// Set the display's ramp to contrast_ramp and green_negative_ramp.
void Contraste(scene::Show& s, uint8_t low, uint8_t high);
void Contraste2(scene::Show& s, uint8_t low, uint8_t high);
void clignote(scene::Show& s);
void ecran16(scene::Show& s);
void Focale_visu(scene::Show& s);

}  // namespace quarvel::controls
