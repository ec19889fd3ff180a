#include "models.h"

#include <cstdio>

#include "model_kit.h"

namespace quarvel::assets {

std::string model_file_name(int number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08d.dat", number);
  return buf;
}

// The scenes' builders live in models_<scene>.cpp.
XFile make_model(int number) {
  switch (number) {
    case 0: return opening_ships_and_trucks();
    case 1: return opening_camera();
    case 2: return edge_scenery();
    case 3: return edge_camera();
    case 4: return model_engine();
    case 5: return model_camera();
    case 6: return finale_scenery();
    case 7: return finale_camera();
    case 8: return monument();
    case 9: return tree();
    case 10: return forest_ground();
    case 11: return birds();
    case 12: return fireball();
    case 13: return flame();
    case 14: return sky_dome();
    case 15: return station_model();
    case 16: return opening_ground();
    default: return XFile{};
  }
}

}  // namespace quarvel::assets
