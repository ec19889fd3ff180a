// The opening scene: ships, trucks and three fires in fog. Party_1 builds it
// behind the loading screen, Party_2 poses and colours it every tick and
// anim_x runs its timed stages.
#include "scenes/opening.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "controls/effects.h"
#include "scene/camera.h"
#include "scene/helpers.h"
#include "scene/loading.h"
#include "scene/primitives.h"
#include "scenes/chain_parts.h"
#include "scenes/steps.h"

namespace quarvel::scene {


namespace {

constexpr int32_t kFireFirst = 30;
constexpr int32_t kFireLast = 32;
constexpr float kSceneEnd = 7600.0f;

// A named frame of the ship model and the slot it is kept in.
struct NamedSlot {
  std::string_view name;
  Table<rm::Frame, 10> OpeningState::*table;
  int index;
};

constexpr std::array<NamedSlot, 4> kDepth1Slots{{
    {"x3ds_VaisseauT1", &OpeningState::vaisseau_frame, 3},
    {"x3ds_VaisseauT3", &OpeningState::vaisseau_frame, 4},
    {"x3ds_VaisseauT4", &OpeningState::vaisseau_frame, 5},
    {"x3ds_x5_Vaissea0", &OpeningState::vaisseau_frame, 1},
}};
constexpr std::array<NamedSlot, 3> kDepth2Slots{{
    {"x3ds_x4_Vaissea4", &OpeningState::vaisseau_frame, 0},
    {"x3ds_x4_Vaissea0", &OpeningState::vaisseau_frame, 2},
    {"x3ds_x5_Vaissea2", &OpeningState::vaisseau_frame, 6},
}};
constexpr std::array<NamedSlot, 2> kDepth3Slots{{
    {"x3ds_x4_Truck_-0", &OpeningState::truck_frame, 2},
    {"x3ds_x4_Truck_-1", &OpeningState::truck_frame, 3},
}};
constexpr std::array<NamedSlot, 2> kDepth4Slots{{
    {"x3ds_Truck_-_T2", &OpeningState::truck_frame, 0},
    {"x3ds_Truck_-_T0", &OpeningState::truck_frame, 1},
}};
// Depth-1 frames whose children are searched.
constexpr std::array<std::string_view, 8> kDepth1Descend{
    "x3ds_Box01",       "x3ds_Truck__-Co",  "x3ds_x4_Vaisseau", "x3ds_x4_Vaissea1",
    "x3ds_x4_Vaissea3", "x3ds_x5_Vaisseau", "x3ds_x5_Vaissea0", "x3ds_x5_Vaissea1",
};

template <size_t N>
void store_if_named(Show& s, const std::array<NamedSlot, N>& slots, const FrameRef& frame) {
  for (const NamedSlot& slot : slots) {
    if (frame->name() == slot.name) (s.opening.*slot.table).at(slot.index) = frame;
  }
}

// The frame's children, each visited with its depth (3 and 4 below here).
void walk_deep(Show& s, const FrameRef& parent, int depth, const std::function<void(const std::string&)>& progress) {
  for (const FrameRef& child : parent->children()) {
    if (!child) continue;
    if (depth == 3) {
      progress(".. : " + child->name());
      store_if_named(s, kDepth3Slots, child);
      walk_deep(s, child, 4, progress);
    } else {
      progress("... : " + child->name());
      store_if_named(s, kDepth4Slots, child);
    }
  }
}

// The first visual of a frame as a mesh builder; empty when the frame is
// empty, has no visual or its first visual is something else.
MeshBuilderRef first_mesh_builder(const FrameRef& frame) {
  if (!frame) return nullptr;
  const auto visuals = frame->visuals();
  if (visuals.empty()) return nullptr;
  return rm::as_mesh_builder(visuals.front());
}

void add_fire(Show& s, int32_t idx, const std::string& mesh_file) {
  add_objet(s, kOpeningGroup, idx, mesh_file, "fire.BMP", 30150, 2268, -1410);
}

bool between(float t, float from, float to) { return t > from && t < to; }

}  // namespace

void walk_ship_parts(Show& s, const FrameRef& model, const std::function<void(const std::string&)>& progress) {
  if (!model) return;
  for (const FrameRef& child : model->children()) {
    if (!child) continue;
    progress(child->name());
    store_if_named(s, kDepth1Slots, child);
    if (std::find(kDepth1Descend.begin(), kDepth1Descend.end(), child->name()) == kDepth1Descend.end()) continue;
    for (const FrameRef& part : child->children()) {
      if (!part) continue;
      store_if_named(s, kDepth2Slots, part);
      walk_deep(s, part, 3, progress);
    }
  }
}

void Party_chargement_anim(Show& s) {
  s.record.built.push_back("Party_chargement_anim");
  Loading(s);
  s.DXTimer.set_enabled(false);
  s.Timer_chargement.set_enabled(true);
  s.opening.brouillard_fin = 15000;
  // Every step off but the loading step that called this builder.
  const bool loading = s.chain.Party_actif[kLoadingStep];
  s.chain.Party_actif = StepFlags::only(kOpeningStep);
  s.chain.Party_actif[kLoadingStep] = loading;

  rm::Frame* world = s.stage.scene.get();
  s.scene_frame.at(kOpeningGroup) = s.stage.root.create_frame(s.stage.scene);
  Charge_Mesh(s);
  Chargement(s, "Chargement des OBJET OK!");

  set_loaded_animation_options(s, 1, kLoadedAnimationOptions);
  Chargement(s, "Constructing..................Anim ok");

  // The three fires: tiny grey-translucent meshes; the last two turned by a
  // rotation that replaces their whole placement.
  add_fire(s, 30, "00000012.dat");
  if (auto m = s.objet_mesh.get(30)) {
    m->scale(0.01f, 0.01f, 0.01f);
    m->set_color(RGBA(0.5f, 0.5f, 0.5f, 0.5f));
  }
  const std::array<float, 2> fire_axis_x{-0.5f, 0.5f};
  for (int32_t idx = 31; idx <= kFireLast; ++idx) {
    add_fire(s, idx, "00000013.dat");
    if (auto m = s.objet_mesh.get(idx)) {
      m->set_color(RGBA(0.5f, 0.5f, 0.5f, 0.5f));
      m->scale(0.01f, 0.01f, 0.01f);
    }
    if (auto f = s.objet_frame.get(idx)) {
      f->add_rotation(rm::Combine::Replace, {fire_axis_x[static_cast<size_t>(idx - 31)], 0, 0}, 1.0f);
    }
  }

  walk_ship_parts(s, s.anim_frame.get(1), [&s](const std::string& label) { Chargement(s, label); });

  s.opening.vaisseau_mesh_a = first_mesh_builder(s.opening.vaisseau_frame.get(0));
  s.opening.vaisseau_mesh_b = first_mesh_builder(s.opening.vaisseau_frame.get(1));
  s.opening.vaisseau_mesh_c = first_mesh_builder(s.opening.vaisseau_frame.get(2));
  for (int i = 1; i <= 4; ++i) s.opening.vaisseau_mesh.at(i) = first_mesh_builder(s.opening.vaisseau_frame.get(i + 2));

  take_cam_path(s, PathModel::Hidden);

  s.clock.horloge = static_cast<float>(s.clock.Temps[kOpeningStart]);
  s.music.play_stream(s.clock.flux_musique, false, true);
  if (auto root = s.scene_frame.get(kOpeningGroup)) world->add_visual(root);
  s.Timer_chargement.set_enabled(false);
  s.DXTimer.set_enabled(true);
  parse_ahead_for(s, Scene::ForestFlight);
}

void Party_1(Show& s) {
  Loading(s);
  Chargement(s, "");
  Party_chargement_anim(s);
  s.chain.Party_actif[kLoadingStep] = false;
  s.chain.Party_actif[kOpeningStep] = true;
}

namespace {

// The negative window: a white back surface, a wobbling field and the green
// negative ramp.
constexpr float kNegativeStart = 6100.0f;
constexpr float kNegativeEnd = 6760.0f;
// The fires follow ship part B until this time, then stay, grow and fade.
constexpr float kFiresLeft = 7271.0f;

// The ship's hull parts T1, T3 and T4 as grey wireframes.
void grey_hull_wireframes(Show& s) {
  for (int i = 1; i <= 3; ++i) {
    if (auto m = s.opening.vaisseau_mesh.get(i)) {
      m->set_color(RGBA(0.5f, 0.5f, 0.5f, 0.5f));
      m->set_quality(rm::quality::kWireframe);
    }
  }
}

// Near the end the closing fog is switched on, and past the end the forest
// flight is built. Returns the clock the rest of the tick sees: once the
// next scene is built, that scene's clock.
float hand_over_to_forest(Show& s) {
  const float t = s.clock.horloge;
  if (t > 7450.0f) s.opening.brouillard_actif = true;
  if (t > kSceneEnd) Party_chargement_anim2(s);
  return s.clock.horloge;
}

// Contrast closing in from both ends over the last 200 units.
void closing_contrast(Show& s, float t) {
  if (t > 7400.0f) {
    const auto x = static_cast<uint8_t>(Round(t - 7400.0) & 0xFF);
    controls::Contraste(s, x, static_cast<uint8_t>(255 - x));
  }
}

// The back surface behind the scene: white in the negative window.
void negative_backdrop(Show& s, float t) {
  s.DXDraw.fill(between(t, kNegativeStart, kNegativeEnd) ? 0xFFFFFFu : 0u);
}

// Ship part 4 fades out.
void fade_ship_part_4(Show& s, float t) {
  if (auto m = s.opening.vaisseau_mesh.get(4)) {
    const float alpha = between(t, 6080.0f, 6150.0f) ? 1.0f - (t - 6080.0f) * 0.01428571f : 1.0f;
    m->set_color(RGBA(1, 1, 1, alpha));
  }
}

// Ship part C: a wireframe with a wrapping alpha, then solid, fading in.
void ship_part_c(Show& s, float t) {
  if (auto& c = s.opening.vaisseau_mesh_c) {
    if (between(t, 4650.0f, 4790.0f)) {
      c->set_color(RGBA(1, 1, 1, 1.0f - (t - 4780.0f) / 10.0f));
      c->set_quality(rm::quality::kWireframe);
    } else {
      c->set_quality(rm::quality::kGouraud);
    }
    if (between(t, 4790.0f, 4800.0f)) c->set_color(RGBA(1, 1, 1, (t - 4790.0f) / 10.0f));
  }
}

// Ship part B flickers between wireframe and solid, drawing from the shared
// sequence on every tick of its window.
void flicker_ship_part_b(Show& s, float t) {
  uint32_t flicker_quality = rm::quality::kGouraudOutlined;
  if (between(t, 7052.0f, 7165.0f)) {
    const int32_t r = s.random(2);
    if (r == 1 || s.opening.scintille_n < 2) {
      s.opening.scintille_n = s.opening.scintille_n < 8 ? static_cast<uint8_t>(s.opening.scintille_n + 1) : uint8_t{1};
      flicker_quality = rm::quality::kWireframe;
    }
  }
  if (s.opening.vaisseau_mesh_b) s.opening.vaisseau_mesh_b->set_quality(flicker_quality);
}

// The opening's fade to black, a moment of black, and the fade back in,
// each darkening the saved ramp.
void opening_gamma(Show& s, float t) {
  if (between(t, 1670.0f, 1710.0f)) {
    s.DXDraw.set_gamma(controls::darkened_ramp(s.layers.gamma_sauve, 800 * Round(t - 1670.0)));
  }
  if (between(t, 1710.0f, 1740.0f)) s.DXDraw.set_gamma(render::GammaRamp{});
  if (between(t, 1740.0f, 1980.0f)) {
    s.DXDraw.set_gamma(controls::darkened_ramp(s.layers.gamma_sauve, 273 * (240 - Round(t - 1740.0))));
  }
}

// White fog closing in, one stretch a tick while it is switched on; the
// switch falls back every tick.
void closing_fog(Show& s) {
  rm::Frame* world = s.stage.scene.get();
  if (s.opening.brouillard_actif) {
    s.opening.brouillard_fin -= 150;
    world->set_scene_fog_enable(true);
    world->set_scene_fog_color(RGB(1, 1, 1));
    if (s.opening.brouillard_fin > 0) world->set_scene_fog_params(0, static_cast<float>(s.opening.brouillard_fin), 1.0f);
    s.opening.brouillard_actif = false;
  }
}

// The field of view from focale; in the negative window it wobbles, and the
// green negative ramp pulses.
void field_of_view(Show& s, float t) {
  auto& viewport = s.stage.viewport;
  if (viewport) viewport->set_field(static_cast<float>(s.view.focale / 20.0));
  if (between(t, kNegativeStart, kNegativeEnd)) {
    const auto high = static_cast<uint8_t>(Round(2.0 * std::sin(deg(t * 120.0)) + 50.0));
    controls::Contraste2(s, 0, high);
    if (viewport) {
      viewport->set_field(static_cast<float>(0.005 * std::cos(deg(t * 25.0)) + s.view.focale / 20.0));
    }
  }
}

// The show's normal contrast for a while after the negative.
void contrast_after_negative(Show& s, float t) {
  if (between(t, kNegativeEnd, 7000.0f)) controls::Contraste(s, 24, 145);
}

// The fires follow ship part B; once it has passed they stay, grow and fade.
// The last fire keeps turning.
void follow_fires(Show& s, float t) {
  rm::Frame* world = s.stage.scene.get();
  if (t < kFiresLeft) {
    if (auto b = s.opening.vaisseau_frame.get(1)) s.opening.feu_pos = b->position(world);
  }
  if (t > kFiresLeft) {
    const float grow = (t - kFiresLeft) * 70.0f;
    for (int32_t idx = kFireFirst; idx <= kFireLast; ++idx) {
      if (auto f = s.objet_frame.get(idx)) f->add_scale(rm::Combine::Replace, grow, grow, grow);
    }
    if (auto m = s.objet_mesh.get(30)) {
      m->set_color(RGBA(1, 1, 1, 1.0f - (t - kFiresLeft) * 0.0030395f * 10.0f));
    }
    for (int32_t idx = 31; idx <= kFireLast; ++idx) {
      if (auto m = s.objet_mesh.get(idx)) m->set_color(RGBA(1, 1, 1, 1.0f - (t - kFiresLeft) * 0.0030395f * 3.0f));
    }
  }
  for (int32_t idx = kFireFirst; idx <= kFireLast; ++idx) {
    if (auto f = s.objet_frame.get(idx)) f->set_position(world, s.opening.feu_pos);
  }
  if (auto f = s.objet_frame.get(32)) f->set_rotation(world, {1, 1, 0}, 1.0f);
}

// The camera aims at object 50 when asked to, and its pose is copied for
// the overlay.
void aim_camera(Show& s) {
  rm::Frame* world = s.stage.scene.get();
  rm::Frame* camera = s.stage.camera.get();
  if (camera) {
    if (s.view.cam_vise) {
      if (auto aim = s.objet_frame.get(50)) camera->look_at(*aim, world);
    }
    camera->orientation(world, s.view.vue_dir, s.view.vue_up);
    s.view.cam_pos = camera->position(world);
  }
}

// The trucks spin with the clock; the first two stop when the picture starts
// to fade back in.
void spin_trucks(Show& s, float t) {
  const auto spin = [&](int i) {
    if (auto truck = s.opening.truck_frame.get(i)) truck->add_rotation(rm::Combine::Replace, {-1, 0, 0}, t);
  };
  if (t < 1740.0f) {
    spin(0);
    spin(1);
  }
  spin(2);
  spin(3);
}

}  // namespace

void Party_2(Show& s) {
  grey_hull_wireframes(s);
  const float t = hand_over_to_forest(s);
  closing_contrast(s, t);
  negative_backdrop(s, t);
  fade_ship_part_4(s, t);
  scroll_ground(s, s.wrap_u - kGroundStep, kGroundScale);
  ship_part_c(s, t);
  flicker_ship_part_b(s, t);
  opening_gamma(s, t);
  // The ships and the camera path's model.
  pose_animation_sets(s, t);
  closing_fog(s);
  field_of_view(s, t);
  contrast_after_negative(s, t);
  follow_fires(s, t);
  aim_camera(s);
  spin_trucks(s, t);
  if (s.opening.anim_x_actif) anim_x(s);
  if (s.controls.cam_auto) Calcul_pos(s);
}

void anim_x(Show& s) {
  const float t = s.clock.horloge;
  rm::Frame* world = s.stage.scene.get();
  if (t > 1000.0f && s.opening.etape_x == 0) world->set_scene_fog_enable(false);
  if (t > 1130.0f && s.opening.etape_x == 0) {
    s.view.focale_actif = true;
    s.opening.etape_x = 1;
  }
  if (t > 1185.0f && s.opening.etape_x == 1) {
    s.view.focale_actif = false;
    s.view.focale = 9;
    s.opening.etape_x = 2;
  }
  if (t > 3300.0f && s.opening.etape_x == 2) {
    s.lights.clignote_actif = true;
    if (auto f = s.lights.light_frame.get(0)) f->set_position(world, {-286, 5, -1851});
    s.opening.etape_x = 3;
  }
  if (t > 3900.0f && s.opening.etape_x == 3) {
    s.lights.clignote_actif = false;
    if (auto l = s.lights.light_tab.get(0)) l->set_color_rgb(1, 1, 1);
    s.opening.etape_x = 4;
  }
  if (t > 6100.0f && s.opening.etape_x == 4) {
    s.layers.ecran16_actif = true;
    s.opening.etape_x = 5;
  }
  if (t > 6760.0f && s.opening.etape_x == 5) {
    if (s.stage.viewport) s.stage.viewport->configure(0, 0, 640, 480);
    s.opening.etape_x = 6;
  }
  if (t > kSceneEnd && s.opening.etape_x == 6) s.opening.etape_x = 7;

  if (s.lights.clignote_actif) controls::clignote(s);
  if (s.layers.ecran16_actif) controls::ecran16(s);
  if (s.view.focale_actif) controls::Focale_visu(s);
}

}  // namespace quarvel::scene
