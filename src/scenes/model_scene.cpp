// The model scene: its builder and its per-tick step. The builder takes the
// forest edge down and makes scene group 4 anew under a new root frame; its
// objects come with the scene's own work.
#include "scenes/steps.h"

namespace quarvel::scenes {

void Party_chargement_anim5(scene::Show& s) {
  s.built.push_back("Party_chargement_anim5");
  init(s, 4);
  s.horloge = 0.0f;
  s.Party_actif[5] = true;
  s.scene_frame[4] = s.DXDraw.root.create_frame(s.DXDraw.scene);
}

void Party_6(scene::Show& s) {
  // Party_4 has a lower flag index: it first runs on the next tick.
  if (s.horloge > static_cast<float>(s.Temps[3])) Party_chargement_anim3(s);
}

}  // namespace quarvel::scenes
