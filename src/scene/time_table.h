#pragma once
#include <array>
#include <cstdint>

namespace quarvel::scene {

// Temps[0..4] := 0, 2000, 1370, 2500, 1480; the rest 0.
void seed_time_table(std::array<int32_t, 11>& Temps);

}  // namespace quarvel::scene
