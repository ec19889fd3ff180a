// Taking a scene group out of the scene graph before the next one is built.
#include "scenes/steps.h"

namespace quarvel::scenes {

void init(scene::Show& s, int32_t g) {
  s.charge_pos = 0;
  if (g >= 1 && g <= 4) {
    if (auto root = s.scene_frame.get(g)) s.DXDraw.scene->delete_child(root.get());
  }
  s.scene_frame.at(g).reset();
  for (int i = 0; i <= 8; ++i) s.Party_actif[static_cast<size_t>(i)] = false;
}

}  // namespace quarvel::scenes
