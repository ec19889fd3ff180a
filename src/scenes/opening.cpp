// The opening scene: its one-shot loading step, its builder and its
// per-tick step with the timed stage machine.
#include "scene/loading.h"
#include "scenes/steps.h"

namespace quarvel::scenes {

void Party_chargement_anim(scene::Show& s) {
  s.built.push_back("Party_chargement_anim");
  s.DXTimer.set_enabled(false);
  s.Timer_chargement.set_enabled(true);
  s.Party_actif[1] = true;
  s.horloge = static_cast<float>(s.Temps[0]);
  s.music.play_stream(s.flux_musique, false, true);
  s.Timer_chargement.set_enabled(false);
  s.DXTimer.set_enabled(true);
}

void Party_1(scene::Show& s) {
  scene::Loading(s);
  scene::Chargement(s, "");
  Party_chargement_anim(s);
  s.Party_actif[0] = false;
  s.Party_actif[1] = true;
}

void Party_2(scene::Show& s) {
  if (s.horloge > 7600.0f) Party_chargement_anim2(s);
}

}  // namespace quarvel::scenes
