#include "scene/time_table.h"

namespace quarvel::scene {

void seed_time_table(std::array<int32_t, 11>& Temps) {
  Temps.fill(0);
  Temps[kOpeningStart] = 0;
  Temps[kForestFlightEnd] = 2000;
  Temps[kForestEdgeEnd] = 1370;
  Temps[kModelSceneEnd] = 2500;
  Temps[kExplosionEnd] = 1480;
}

}  // namespace quarvel::scene
