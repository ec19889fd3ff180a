// The forest edge: its builder and its per-tick step. The builder takes
// the forest flight down and starts scene group 4 under a new root frame;
// its objects come with the scene's own work.
#include "scenes/steps.h"

namespace quarvel::scenes {

void Party_chargement_anim4(scene::Show& s) {
  s.built.push_back("Party_chargement_anim4");
  init(s, 2);
  s.horloge = 0.0f;
  s.Party_actif[4] = true;
  s.scene_frame[4] = s.DXDraw.root.create_frame(s.DXDraw.scene);
}

void Party_5(scene::Show& s) {
  if (s.horloge > static_cast<float>(s.Temps[2])) Party_chargement_anim5(s);
}

}  // namespace quarvel::scenes
