#pragma once
// The operator's controls: the per-tick keyboard and mouse handling of the
// finale (free flight, light editing, clock control, scene jumps, effects),
// and the form's own key and mouse handlers' show-side work.
#include "scene/show.h"

namespace quarvel::controls {

// The two scene builders the finale's keys jump to (F6: forest flight, F7:
// explosion). They live in a layer above this one, so the caller passes them.
struct Jumps {
  void (*forest)(scene::Show&) = nullptr;
  void (*explosion)(scene::Show&) = nullptr;
};

// The highest key code Clavier looks at (codes 1..kLastKey, ascending).
inline constexpr int kLastKey = 200;

// One tick of the finale's keyboard and mouse handling: reads the camera's
// direction (get_camera); then for every key code held, in ascending order,
// its plain action, then its action with Backspace held or without it; then
// the mouse, whose velocity and turn (left button held) replace a key's.
// Reads the input as the tick's update left it.
void Clavier(scene::Show& s, const Jumps& jumps);

// The show's side of a mouse press at back-surface pixel (x, y): picks on
// the viewport; when the nearest hit is a mesh builder it becomes
// objet_choisi and turns dark grey, three quarters opaque. A hit on any
// other visual empties objet_choisi; no hit changes nothing.
void FormMouseDown(scene::Show& s, int x, int y);

}  // namespace quarvel::controls
