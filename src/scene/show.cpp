#include "scene/show.h"

#include "scene/time_table.h"

namespace quarvel::scene {
namespace {

template <typename T, size_t N>
void release(Table<T, N>& table) {
  for (size_t i = N; i-- > 0;) table.entries[i].reset();
}

}  // namespace

void ClockState::reset() {
  pos_musique = 0;
  pos_precedente = 0;
  pas_temps = 0;
  horloge = 0;
  seed_time_table(Temps);
  fps_affiche = 0;
}

void ChainState::reset() {
  Party_actif = StepFlags::only(kLoadingStep);
  charge_pos = 0;
  charge_n = 0;
}

void ViewState::reset() {
  cam_pos = cam_dir = cam_up = {};
  vue_dir = vue_up = {};
  cam_suivi = true;
  cam_vise = false;
  focale = 9;
  focale_actif = false;
}

void LightState::reset() {
  clignote_actif = false;
  angle_clignote = 0;
}

void LayerState::reset(const render::GammaRamp& ramp) {
  etape_logo = 0;
  ecran16_actif = false;
  ecran16_n = 0;
  fondu = 0;
  gamma_sauve = ramp;
  affiche_infos = false;
}

void ControlState::reset() {
  cam_auto = true;
  vitesse = 10;
  light_x = light_y = light_z = 0;
  light_r = light_g = light_b = 0;
}

void OpeningState::reset() {
  etape_x = 0;
  anim_x_actif = true;
  brouillard_fin = 0;
  brouillard_actif = false;
  scintille_n = 0;
  feu_pos = {};
}

void ExplosionState::reset() {
  effet = {};
  flash_fini = false;
  flash_n = 0;
  angle_vue = 0;
}

void Show::release_all() {
  controls.objet_choisi.reset();
  explosion.focale_frame.reset();
  explosion.focale_anim.reset();
  view.cam_anim.reset();
  fond_texture.reset();
  view.cam_path.reset();
  release(explosion.explo_anim);
  opening.vaisseau_mesh_c.reset();
  opening.vaisseau_mesh_b.reset();
  opening.vaisseau_mesh_a.reset();
  release(opening.vaisseau_mesh);
  release(opening.vaisseau_frame);
  release(opening.truck_frame);
  release(lights.light_tab);
  release(lights.light_frame);
  release(anim_set);
  release(anim_frame);
  release(wrap_tab);
  release(wrap_mesh);
  release(wrap_texture);
  release(wrap_builder);
  release(wrap_frame);
  release(objet_texture);
  release(objet_mesh);
  release(objet_frame);
  release(scene_frame);
}

}  // namespace quarvel::scene
