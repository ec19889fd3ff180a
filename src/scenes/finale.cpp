// The free-flight finale: its builder and its per-tick step. The builder
// saves the contrasted ramp the end fade starts from, takes the explosion
// down and starts scene group 6 under a new root frame. The frame loop's
// layers fade the picture out and close the form at the end.
#include "controls/effects.h"
#include "scenes/steps.h"

namespace quarvel::scenes {

void Party_chargement_anim6(scene::Show& s) {
  s.built.push_back("Party_chargement_anim6");
  controls::Contraste(s, 24, 145);
  s.DXDraw.get_gamma(s.gamma_sauve);
  init(s, 3);
  s.horloge = 0.0f;
  s.Party_actif[6] = true;
  s.scene_frame[6] = s.DXDraw.root.create_frame(s.DXDraw.scene);
}

void Party_7(scene::Show&) {}

}  // namespace quarvel::scenes
