#pragma once
#include "scene/show.h"

namespace quarvel::scene {

// Temps[0..4] := 0, 2000, 1370, 2500, 1480; the rest 0.
void seed_time_table(Show& s);

}  // namespace quarvel::scene
