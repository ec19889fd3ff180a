// The free-flight finale: a background picture behind two animation sets,
// fog off and the full viewport. The frame loop's layers fade the picture
// out and close the form at the end.
#include <cstdint>

#include "controls/effects.h"
#include "controls/operator.h"
#include "scene/camera.h"
#include "scene/loading.h"
#include "scene/primitives.h"
#include "scenes/chain_parts.h"
#include "scenes/steps.h"

namespace quarvel::scene {


void Party_chargement_anim6(Show& s) {
  s.record.built.push_back("Party_chargement_anim6");
  rm::Frame* world = s.stage.scene.get();
  controls::Contraste(s, 24, 145);
  // The end fade starts from the ramp just set.
  s.DXDraw.get_gamma(s.layers.gamma_sauve);
  init(s, kExplosionGroup);

  s.fond_texture = s.stage.root.load_texture(beside_executable(s, "introsi.bmp"));
  world->set_scene_background_image(s.fond_texture);
  s.clock.horloge = 0.0f;
  s.chain.Party_actif[kFinaleStep] = true;
  s.scene_frame.at(kFinaleGroup) = s.stage.root.create_frame(s.stage.scene);
  add_anim(s, kFinaleGroup, 0, "00000007.dat", 0, 0, 0);
  add_anim(s, kFinaleGroup, 1, "00000006.dat", 0, 0, 0);
  if (auto& viewport = s.stage.viewport) {
    viewport->configure(0, 0, display::DisplayControl::kWidth, display::DisplayControl::kHeight);
  }
  world->set_scene_fog_enable(false);
  Chargement(s, "Constructing..................Anim ok");
  take_cam_path(s, PathModel::Hidden);
  parse_ahead_for(s, Scene::End);
}

void Party_7(Show& s) {
  rm::Frame* world = s.stage.scene.get();
  rm::Frame* camera = s.stage.camera.get();
  if (auto& viewport = s.stage.viewport) viewport->set_uniform_scaling(true);
  pose_animation_sets(s, s.clock.horloge / 2);
  s.view.focale = 9;
  if (auto& viewport = s.stage.viewport) viewport->set_field(static_cast<float>(s.view.focale) / 20.0f);
  // The operator's keys and mouse; F6 and F7 jump back to earlier scenes.
  controls::Clavier(s, controls::Jumps{Party_chargement_anim2, Party_chargement_anim3});
  if (camera) camera->orientation(world, s.view.vue_dir, s.view.vue_up);
  world->move(1.0f);
  if (camera) s.view.cam_pos = camera->position(world);
  if (s.controls.cam_auto) Calcul_pos(s);
}

}  // namespace quarvel::scene
