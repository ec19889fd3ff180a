#include "scene/time_table.h"

namespace quarvel::scene {

void seed_time_table(std::array<int32_t, 11>& Temps) {
  Temps.fill(0);
  Temps[0] = 0;
  Temps[1] = 2000;
  Temps[2] = 1370;
  Temps[3] = 2500;
  Temps[4] = 1480;
}

}  // namespace quarvel::scene
