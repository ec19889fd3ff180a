#pragma once
// The status overlay: frame rate, clock, editable light, camera position,
// music load and the credits line, white on the picture, drawn when
// affiche_infos is set.
#include <cstdint>
#include <string>
#include <vector>

#include "scene/show.h"

namespace quarvel::app {

struct OverlayLine {
  int y = 0;
  std::string text;  // Latin-1
};

// The overlay's lines. `mouse_dy` is the mouse's vertical movement of the
// last input update, `cpu` the music layer's processor load in percent and
// `music_position` the stream position in bytes.
std::vector<OverlayLine> overlay_lines(const scene::Show& s, int mouse_dy, float cpu, uint32_t music_position);

// Draws the lines on the back surface's canvas (white, size 8, no
// background), then leaves the canvas black at size 10.
void draw_overlay(scene::Show& s);

// A number in fixed notation with one decimal and a point, whatever the
// locale.
std::string fixed_one_decimal(double v);

}  // namespace quarvel::app
