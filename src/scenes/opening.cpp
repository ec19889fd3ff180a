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
#include "scenes/steps.h"

namespace quarvel::scenes {

using scene::FrameRef;
using scene::Show;
using scene::Vec3;

namespace {

constexpr int32_t kOpeningGroup = 1;
constexpr int32_t kFireFirst = 30;
constexpr int32_t kFireLast = 32;
// Open, linear positions, scale and rotation, positions.
constexpr uint32_t kShipAnimationOptions = 0x35;
constexpr float kSceneEnd = 7600.0f;

// A named frame of the ship model and the slot it is kept in.
struct NamedSlot {
  std::string_view name;
  scene::Table<rm::Frame, 10> Show::*table;
  int index;
};

constexpr std::array<NamedSlot, 4> kDepth1Slots{{
    {"x3ds_VaisseauT1", &Show::vaisseau_frame, 3},
    {"x3ds_VaisseauT3", &Show::vaisseau_frame, 4},
    {"x3ds_VaisseauT4", &Show::vaisseau_frame, 5},
    {"x3ds_x5_Vaissea0", &Show::vaisseau_frame, 1},
}};
constexpr std::array<NamedSlot, 3> kDepth2Slots{{
    {"x3ds_x4_Vaissea4", &Show::vaisseau_frame, 0},
    {"x3ds_x4_Vaissea0", &Show::vaisseau_frame, 2},
    {"x3ds_x5_Vaissea2", &Show::vaisseau_frame, 6},
}};
constexpr std::array<NamedSlot, 2> kDepth3Slots{{
    {"x3ds_x4_Truck_-0", &Show::truck_frame, 2},
    {"x3ds_x4_Truck_-1", &Show::truck_frame, 3},
}};
constexpr std::array<NamedSlot, 2> kDepth4Slots{{
    {"x3ds_Truck_-_T2", &Show::truck_frame, 0},
    {"x3ds_Truck_-_T0", &Show::truck_frame, 1},
}};
// Depth-1 frames whose children are searched.
constexpr std::array<std::string_view, 8> kDepth1Descend{
    "x3ds_Box01",       "x3ds_Truck__-Co",  "x3ds_x4_Vaisseau", "x3ds_x4_Vaissea1",
    "x3ds_x4_Vaissea3", "x3ds_x5_Vaisseau", "x3ds_x5_Vaissea0", "x3ds_x5_Vaissea1",
};

template <size_t N>
void store_if_named(Show& s, const std::array<NamedSlot, N>& slots, const FrameRef& frame) {
  for (const NamedSlot& slot : slots) {
    if (frame->name() == slot.name) (s.*slot.table).at(slot.index) = frame;
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
scene::MeshBuilderRef first_mesh_builder(const FrameRef& frame) {
  if (!frame) return nullptr;
  const auto visuals = frame->visuals();
  if (visuals.empty()) return nullptr;
  return rm::as_mesh_builder(visuals.front());
}

void add_fire(Show& s, int32_t idx, const std::string& mesh_file) {
  scene::add_objet(s, kOpeningGroup, idx, mesh_file, "fire.BMP", 30150, 2268, -1410);
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

render::GammaRamp darkened_ramp(const render::GammaRamp& base, int64_t step) {
  render::GammaRamp out;
  auto channel = [step](const std::array<uint16_t, 256>& in, std::array<uint16_t, 256>& to) {
    for (size_t i = 0; i < in.size(); ++i) {
      to[i] = static_cast<uint16_t>(std::max<int64_t>(0, static_cast<int64_t>(in[i]) - step));
    }
  };
  channel(base.red, out.red);
  channel(base.green, out.green);
  channel(base.blue, out.blue);
  return out;
}

void Party_chargement_anim(Show& s) {
  s.record.built.push_back("Party_chargement_anim");
  scene::Loading(s);
  s.DXTimer.set_enabled(false);
  s.Timer_chargement.set_enabled(true);
  s.opening.brouillard_fin = 15000;
  for (size_t k = 1; k <= 10; ++k) s.Party_actif[k] = false;
  s.Party_actif[1] = true;

  rm::Frame* world = s.stage.scene.get();
  s.scene_frame.at(kOpeningGroup) = s.stage.root.create_frame(s.stage.scene);
  scene::Charge_Mesh(s);
  scene::Chargement(s, "Chargement des OBJET OK!");

  std::vector<scene::AnimationRef> ship_animations;
  if (auto set = s.anim_set.get(1)) ship_animations = set->animations();
  scene::Chargement(s, "Constructing..................");
  for (const auto& a : ship_animations) {
    if (a) a->set_options(kShipAnimationOptions);
  }
  scene::Chargement(s, "Constructing..................Anim ok");

  // The three fires: tiny grey-translucent meshes; the last two turned by a
  // rotation that replaces their whole placement.
  add_fire(s, 30, "00000012.dat");
  if (auto m = s.objet_mesh.get(30)) {
    m->scale(0.01f, 0.01f, 0.01f);
    m->set_color(scene::RGBA(0.5f, 0.5f, 0.5f, 0.5f));
  }
  const std::array<float, 2> fire_axis_x{-0.5f, 0.5f};
  for (int32_t idx = 31; idx <= kFireLast; ++idx) {
    add_fire(s, idx, "00000013.dat");
    if (auto m = s.objet_mesh.get(idx)) {
      m->set_color(scene::RGBA(0.5f, 0.5f, 0.5f, 0.5f));
      m->scale(0.01f, 0.01f, 0.01f);
    }
    if (auto f = s.objet_frame.get(idx)) {
      f->add_rotation(rm::Combine::Replace, {fire_axis_x[static_cast<size_t>(idx - 31)], 0, 0}, 1.0f);
    }
  }

  walk_ship_parts(s, s.anim_frame.get(1), [&s](const std::string& label) { scene::Chargement(s, label); });

  s.vaisseau_mesh_a = first_mesh_builder(s.vaisseau_frame.get(0));
  s.vaisseau_mesh_b = first_mesh_builder(s.vaisseau_frame.get(1));
  s.vaisseau_mesh_c = first_mesh_builder(s.vaisseau_frame.get(2));
  for (int i = 1; i <= 4; ++i) s.vaisseau_mesh.at(i) = first_mesh_builder(s.vaisseau_frame.get(i + 2));

  s.cam_path.reset();
  if (auto cam_model = s.anim_frame.get(0)) {
    const auto top = cam_model->children();
    if (!top.empty()) s.cam_path = top.front();
    world->delete_visual(cam_model.get());
  }

  s.horloge = static_cast<float>(s.Temps[0]);
  s.music.play_stream(s.flux_musique, false, true);
  if (auto root = s.scene_frame.get(kOpeningGroup)) world->add_visual(root);
  s.Timer_chargement.set_enabled(false);
  s.DXTimer.set_enabled(true);
}

void Party_1(Show& s) {
  scene::Loading(s);
  scene::Chargement(s, "");
  Party_chargement_anim(s);
  s.Party_actif[0] = false;
  s.Party_actif[1] = true;
}

void Party_2(Show& s) {
  using scene::RGB;
  using scene::RGBA;
  using scene::Round;
  // The clock as the step finds it; once the next scene is built, the rest
  // of the tick sees the new scene's clock.
  float t = s.horloge;
  rm::Frame* world = s.stage.scene.get();
  rm::Frame* camera = s.stage.camera.get();

  // 1. The ship's hull parts T1, T3 and T4 as grey wireframes.
  for (int i = 1; i <= 3; ++i) {
    if (auto m = s.vaisseau_mesh.get(i)) {
      m->set_color(RGBA(0.5f, 0.5f, 0.5f, 0.5f));
      m->set_quality(64);
    }
  }
  // 2, 3. The closing fog, and the hand-over to the forest flight.
  if (t > 7450.0f) s.opening.brouillard_actif = true;
  if (t > kSceneEnd) {
    Party_chargement_anim2(s);
    t = s.horloge;
  }
  // 4. Contrast closing in from both ends.
  if (t > 7400.0f) {
    const auto x = static_cast<uint8_t>(Round(t - 7400.0) & 0xFF);
    controls::Contraste(s, x, static_cast<uint8_t>(255 - x));
  }
  // 5. The back surface behind the scene: white in the negative window.
  s.DXDraw.fill(between(t, 6100.0f, 6760.0f) ? 0xFFFFFFu : 0u);
  // 6. Ship part 4 fades out.
  if (auto m = s.vaisseau_mesh.get(4)) {
    const float alpha = between(t, 6080.0f, 6150.0f) ? 1.0f - (t - 6080.0f) * 0.01428571f : 1.0f;
    m->set_color(RGBA(1, 1, 1, alpha));
  }
  // 7. The ground texture scrolls.
  s.wrap_u -= 5;
  s.wrap_tab.at(0).reset();
  s.wrap_tab.at(0) = s.stage.root.create_wrap(rm::WrapType::Flat, nullptr, {0, 0, 0}, {0, 1, 0}, {0, 1, 0},
                                               static_cast<float>(s.wrap_u / 25.0), 0, 0.01f, 0.01f);
  if (auto mesh = s.wrap_mesh.get(0)) s.wrap_tab.at(0)->apply(*mesh);
  // 8, 9. Ship part C: wireframe with a wrapping alpha, then solid fading in.
  if (auto& c = s.vaisseau_mesh_c) {
    if (between(t, 4650.0f, 4790.0f)) {
      c->set_color(RGBA(1, 1, 1, 1.0f - (t - 4780.0f) / 10.0f));
      c->set_quality(64);
    } else {
      c->set_quality(137);
    }
    if (between(t, 4790.0f, 4800.0f)) c->set_color(RGBA(1, 1, 1, (t - 4790.0f) / 10.0f));
  }
  // 10. Ship part B flickers between wireframe and solid.
  uint32_t flicker_quality = 201;
  if (between(t, 7052.0f, 7165.0f)) {
    const int32_t r = s.random(2);
    if (r == 1 || s.opening.scintille_n < 2) {
      s.opening.scintille_n = s.opening.scintille_n < 8 ? static_cast<uint8_t>(s.opening.scintille_n + 1) : uint8_t{1};
      flicker_quality = 64;
    }
  }
  if (s.vaisseau_mesh_b) s.vaisseau_mesh_b->set_quality(flicker_quality);
  // 11..13. Fade to black, black, fade back in from the saved ramp.
  if (between(t, 1670.0f, 1710.0f)) {
    s.DXDraw.set_gamma(darkened_ramp(s.gamma_sauve, 800 * Round(t - 1670.0)));
  }
  if (between(t, 1710.0f, 1740.0f)) s.DXDraw.set_gamma(render::GammaRamp{});
  if (between(t, 1740.0f, 1980.0f)) {
    s.DXDraw.set_gamma(darkened_ramp(s.gamma_sauve, 273 * (240 - Round(t - 1740.0))));
  }
  // 14. The ships and the camera path.
  if (auto a = s.anim_set.get(0)) a->set_time(t);
  if (auto a = s.anim_set.get(1)) a->set_time(t);
  // 15. White fog closing in.
  if (s.opening.brouillard_actif) {
    s.opening.brouillard_fin -= 150;
    world->set_scene_fog_enable(true);
    world->set_scene_fog_color(RGB(1, 1, 1));
    if (s.opening.brouillard_fin > 0) world->set_scene_fog_params(0, static_cast<float>(s.opening.brouillard_fin), 1.0f);
    s.opening.brouillard_actif = false;
  }
  // 16, 17. The field of view, wobbling in the negative window.
  auto& viewport = s.stage.viewport;
  if (viewport) viewport->set_field(static_cast<float>(s.focale / 20.0));
  if (between(t, 6100.0f, 6760.0f)) {
    const auto high = static_cast<uint8_t>(Round(2.0 * std::sin(scene::deg(t * 120.0)) + 50.0));
    controls::Contraste2(s, 0, high);
    if (viewport) {
      viewport->set_field(static_cast<float>(0.005 * std::cos(scene::deg(t * 25.0)) + s.focale / 20.0));
    }
  }
  // 18. The show's normal contrast after the negative.
  if (between(t, 6760.0f, 7000.0f)) controls::Contraste(s, 24, 145);
  // 19..21. The fires follow ship part B, then stay, grow and fade.
  if (t < 7271.0f) {
    if (auto b = s.vaisseau_frame.get(1)) s.opening.feu_pos = b->position(world);
  }
  if (t > 7271.0f) {
    const float grow = (t - 7271.0f) * 70.0f;
    for (int32_t idx = kFireFirst; idx <= kFireLast; ++idx) {
      if (auto f = s.objet_frame.get(idx)) f->add_scale(rm::Combine::Replace, grow, grow, grow);
    }
    if (auto m = s.objet_mesh.get(30)) m->set_color(RGBA(1, 1, 1, 1.0f - (t - 7271.0f) * 0.0030395f * 10.0f));
    for (int32_t idx = 31; idx <= kFireLast; ++idx) {
      if (auto m = s.objet_mesh.get(idx)) m->set_color(RGBA(1, 1, 1, 1.0f - (t - 7271.0f) * 0.0030395f * 3.0f));
    }
  }
  for (int32_t idx = kFireFirst; idx <= kFireLast; ++idx) {
    if (auto f = s.objet_frame.get(idx)) f->set_position(world, s.opening.feu_pos);
  }
  if (auto f = s.objet_frame.get(32)) f->set_rotation(world, {1, 1, 0}, 1.0f);
  // 22, 23. The camera's aim, and copies of its pose for the overlay.
  if (camera) {
    if (s.cam_vise) {
      if (auto aim = s.objet_frame.get(50)) camera->look_at(*aim, world);
    }
    camera->orientation(world, s.vue_dir, s.vue_up);
    s.cam_pos = camera->position(world);
  }
  // 24, 25. The spinning trucks.
  const auto spin = [&](int i) {
    if (auto truck = s.truck_frame.get(i)) truck->add_rotation(rm::Combine::Replace, {-1, 0, 0}, t);
  };
  if (t < 1740.0f) {
    spin(0);
    spin(1);
  }
  spin(2);
  spin(3);
  // 26, 27.
  if (s.anim_x_actif) anim_x(s);
  if (s.cam_auto) scene::Calcul_pos(s);
}

void anim_x(Show& s) {
  const float t = s.horloge;
  rm::Frame* world = s.stage.scene.get();
  if (t > 1000.0f && s.etape_x == 0) world->set_scene_fog_enable(false);
  if (t > 1130.0f && s.etape_x == 0) {
    s.focale_actif = true;
    s.etape_x = 1;
  }
  if (t > 1185.0f && s.etape_x == 1) {
    s.focale_actif = false;
    s.focale = 9;
    s.etape_x = 2;
  }
  if (t > 3300.0f && s.etape_x == 2) {
    s.clignote_actif = true;
    if (auto f = s.light_frame.get(0)) f->set_position(world, {-286, 5, -1851});
    s.etape_x = 3;
  }
  if (t > 3900.0f && s.etape_x == 3) {
    s.clignote_actif = false;
    if (auto l = s.light_tab.get(0)) l->set_color_rgb(1, 1, 1);
    s.etape_x = 4;
  }
  if (t > 6100.0f && s.etape_x == 4) {
    s.ecran16_actif = true;
    s.etape_x = 5;
  }
  if (t > 6760.0f && s.etape_x == 5) {
    if (s.stage.viewport) s.stage.viewport->configure(0, 0, 640, 480);
    s.etape_x = 6;
  }
  if (t > kSceneEnd && s.etape_x == 6) s.etape_x = 7;

  if (s.clignote_actif) controls::clignote(s);
  if (s.ecran16_actif) controls::ecran16(s);
  if (s.focale_actif) controls::Focale_visu(s);
}

}  // namespace quarvel::scenes
