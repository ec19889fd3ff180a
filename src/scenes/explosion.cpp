// The explosion: its builder and its per-tick step. The builder takes the
// model scene down and starts scene group 3 under a new root frame; its
// objects and animations come with the scene's own work.
#include "scenes/steps.h"

namespace quarvel::scenes {

void Party_chargement_anim3(scene::Show& s) {
  s.built.push_back("Party_chargement_anim3");
  init(s, 4);
  s.Party_actif[3] = true;
  s.scene_frame[3] = s.DXDraw.root.create_frame(s.DXDraw.scene);
  s.horloge = 0.0f;
}

void Party_4(scene::Show& s) {
  if (s.horloge > static_cast<float>(s.Temps[4])) Party_chargement_anim6(s);
}

}  // namespace quarvel::scenes
