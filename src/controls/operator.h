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

// One tick of the finale's keyboard and mouse handling.
void Clavier(scene::Show& s, const Jumps& jumps);

}  // namespace quarvel::controls
