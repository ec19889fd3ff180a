#pragma once
#include <array>
#include <cstdint>

#include "scene/show.h"

namespace quarvel::scene {

// The opening starts at 0; the forest flight ends at 2000, the forest edge
// at 1370, the model scene at 2500 and the explosion at 1480; the rest 0.
void seed_time_table(std::array<int32_t, 11>& Temps);

}  // namespace quarvel::scene
