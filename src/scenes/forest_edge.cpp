// The forest edge: two animation sets, a large untextured object and two
// rows of ten trees at places drawn from the shared sequence.
#include <cstdint>

#include "controls/effects.h"
#include "scene/loading.h"
#include "scene/primitives.h"
#include "scenes/chain_parts.h"
#include "scenes/steps.h"

namespace quarvel::scene {


namespace {


// One tree of the edge: its mesh scaled (w, h, w), w in 5..10, h in 5..13.
void add_tree(Show& s, int32_t j) {
  add_objet(s, kEdgeGroup, j, "00000009.dat", "arbre1.bmp", 0, 0, -2400);
  const auto w = static_cast<float>(s.random(6) + 5);
  const auto h = static_cast<float>(s.random(9) + 5);
  if (auto m = s.objet_mesh.get(j)) m->scale(w, h, w);
}

void place_tree(Show& s, int32_t j, float x, float z) {
  if (auto f = s.objet_frame.get(j)) f->set_position(s.stage.scene.get(), {x, 0, z});
}

}  // namespace

void Party_chargement_anim4(Show& s) {
  s.record.built.push_back("Party_chargement_anim4");
  controls::Contraste(s, 24, 145);
  init(s, kForestFlightGroup);
  s.clock.horloge = 0.0f;
  s.chain.Party_actif[kForestEdgeStep] = true;
  s.scene_frame.at(kEdgeGroup) = s.stage.root.create_frame(s.stage.scene);

  add_anim(s, kEdgeGroup, 0, "00000003.dat", 0, 0, 0);
  add_anim(s, kEdgeGroup, 1, "00000002.dat", 0, 0, 0);
  add_objet(s, kEdgeGroup, 50, "00000014.dat", "", 0, 0, 0);
  if (auto m = s.objet_mesh.get(50)) m->scale(1000, 1000, 1000);
  Chargement(s, "Chargement des OBJET OK!");
  set_loaded_animation_options(s, 1, kLoadedAnimationOptions);

  // The near row: draws in the order w, h, z, x.
  for (int32_t j = 21; j <= 30; ++j) {
    add_tree(s, j);
    const int32_t z = s.random(500) - 1000;
    const int32_t x = s.random(2000);
    place_tree(s, j, static_cast<float>(x), static_cast<float>(z));
  }
  // The far row, on one line: w, h, x.
  for (int32_t j = 31; j <= 40; ++j) {
    add_tree(s, j);
    const int32_t x = s.random(1800);
    place_tree(s, j, static_cast<float>(x), -2000.0f);
  }
  Chargement(s, "Constructing..................Anim ok");
  take_cam_path(s, PathModel::Kept);
  parse_ahead_for(s, Scene::ModelScene);
}

void Party_5(Show& s) {
  edge_step(s, EdgeStep{.end_entry = kForestEdgeEnd,
                        .next_builder = Party_chargement_anim5,
                        .animation_divisor = 1.0f,
                        .sets_field = true,
                        .uniform_scaling = false});
}

}  // namespace quarvel::scene
