// The forest flight: its builder and its per-tick step.
#include "scenes/steps.h"

namespace quarvel::scenes {

void Party_chargement_anim2(scene::Show& s) {
  s.built.push_back("Party_chargement_anim2");
  init(s, 1);
  s.Party_actif[2] = true;
  s.pos_musique = s.music.position(s.flux_musique);
  s.pas_temps = static_cast<float>(static_cast<int64_t>(s.pos_musique) - static_cast<int64_t>(s.pos_precedente)) / 1500.0f;
  s.horloge = s.pas_temps;
}

void Party_3(scene::Show& s) {
  if (s.horloge > static_cast<float>(s.Temps[1])) Party_chargement_anim4(s);
}

}  // namespace quarvel::scenes
