#include "scene/time_table.h"

namespace quarvel::scene {

void seed_time_table(Show& s) {
  s.Temps.fill(0);
  s.Temps[0] = 0;
  s.Temps[1] = 2000;
  s.Temps[2] = 1370;
  s.Temps[3] = 2500;
  s.Temps[4] = 1480;
}

}  // namespace quarvel::scene
