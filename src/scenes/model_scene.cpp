// The model scene: two animation sets in a fresh scene group 4, fog off,
// the full viewport and a field of 1.0.
#include <cstdint>

#include "controls/effects.h"
#include "scene/loading.h"
#include "scene/primitives.h"
#include "scenes/chain_parts.h"
#include "scenes/steps.h"

namespace quarvel::scene {


void Party_chargement_anim5(Show& s) {
  s.record.built.push_back("Party_chargement_anim5");
  controls::Contraste(s, 24, 145);
  init(s, kEdgeGroup);
  s.clock.horloge = 0.0f;
  s.chain.Party_actif[kModelSceneStep] = true;
  s.scene_frame.at(kEdgeGroup) = s.stage.root.create_frame(s.stage.scene);

  s.view.focale = 20;
  rm::Viewport* viewport = s.stage.viewport.get();
  if (viewport) viewport->set_field(static_cast<float>(s.view.focale) / 20.0f);

  add_anim(s, kEdgeGroup, 0, "00000005.dat", 0, 0, 0);
  add_anim(s, kEdgeGroup, 1, "00000004.dat", 0, 0, 0);
  Chargement(s, "Chargement des OBJET OK!");
  set_loaded_animation_options(s, 1, kLoadedAnimationOptions);

  if (viewport) viewport->configure(0, 0, display::DisplayControl::kWidth, display::DisplayControl::kHeight);
  rm::Frame* world = s.stage.scene.get();
  world->set_scene_fog_enable(false);
  Chargement(s, "Constructing..................Anim ok");
  take_cam_path(s, PathModel::Hidden);
  Chargement(s, "Constructing ............. Fin Timer");
  parse_ahead_for(s, Scene::Explosion);
}

void Party_6(Show& s) {
  // Party_4 has a lower flag index: it first runs on the next tick.
  edge_step(s, EdgeStep{.end_entry = kModelSceneEnd,
                        .next_builder = Party_chargement_anim3,
                        .animation_divisor = 2.0f,
                        .sets_field = false,
                        .uniform_scaling = true});
}

}  // namespace quarvel::scene
