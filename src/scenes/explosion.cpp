// The explosion: 21 objects flying on random keys that now and then all
// gather at the origin, a camera on a key path, a field of view driven by a
// hidden frame, white flashes on loud music, and three viewport effects the
// operator can arm.
#include <array>
#include <cmath>
#include <cstdint>

#include "controls/effects.h"
#include "scene/helpers.h"
#include "scene/loading.h"
#include "scene/primitives.h"
#include "scenes/chain_parts.h"
#include "scenes/explosion_effects.h"
#include "scenes/steps.h"

namespace quarvel::scene {


namespace {

constexpr int32_t kExplosionCount = 21;
constexpr int32_t kFirstExplosionObject = 30;
constexpr int32_t kKeyPasses = 51;
// Closed, spline positions, scale and rotation, positions.
constexpr uint32_t kExplosionOptions = 0x3A;
// Closed, spline positions, positions.
constexpr uint32_t kPathOptions = 0x2A;

struct Key {
  float time;
  Vec3 position;
};

// The field frame's keys (x / 20 is the field); the camera's keys 3..25
// share their times.
constexpr std::array<Key, 23> kFieldKeys{{
    {0, {73, 0, 0}},    {18, {72, 0, 0}},   {49, {120, 0, 0}},  {72, {6, 0, 0}},    {147, {86, 0, 0}},
    {213, {2, 0, 0}},   {309, {69, 0, 0}},  {319, {53, 0, 0}},  {409, {130, 0, 0}}, {478, {108, 0, 0}},
    {484, {92, 0, 0}},  {573, {126, 0, 0}}, {655, {136, 0, 0}}, {675, {76, 0, 0}},  {709, {1, 0, 0}},
    {710, {22, 0, 0}},  {768, {77, 0, 0}},  {798, {137, 0, 0}}, {811, {113, 0, 0}}, {897, {58, 0, 0}},
    {906, {57, 0, 0}},  {946, {90, 0, 0}},  {1045, {62, 0, 0}},
}};

constexpr std::array<Key, 2> kCameraLeadKeys{{{100, {-500, 0, 0}}, {0, {0, 0, 0}}}};
constexpr std::array<Key, 23> kCameraKeys{{
    {0, {1500, 15, 1500}},    {18, {-578, 426, -466}}, {49, {683, 318, -181}},  {72, {-299, 626, -302}},
    {147, {-341, 313, 312}},  {213, {-289, 277, 53}},  {309, {-507, 41, 317}},  {319, {-672, 725, -550}},
    {409, {-161, 307, 40}},   {478, {-382, 621, 479}}, {484, {161, 336, 65}},   {573, {297, 556, 634}},
    {655, {-533, 725, -184}}, {675, {368, 171, -389}}, {709, {-325, 280, -5}},  {710, {-646, 714, 97}},
    {768, {-651, 337, -418}}, {798, {-257, 219, 335}}, {811, {-546, 449, -193}}, {897, {618, 439, -657}},
    {906, {605, 456, 197}},   {946, {-73, 9, 64}},     {1045, {389, 614, 727}},
}};

// kKeyPasses passes of rising key times; in a gathering pass every object
// gets scale 5 at the origin, otherwise each draws its own place and scale.
void add_explosion_keys(Show& s) {
  int32_t t = 0;
  for (int32_t pass = 0; pass < kKeyPasses; ++pass) {
    t += s.random(100) + 1;
    const bool gather = s.random(3) == 0;
    const auto time = static_cast<float>(t);
    for (int32_t i = 0; i < kExplosionCount; ++i) {
      rm::Animation& a = *s.explosion.explo_anim.at(i);
      if (gather) {
        a.add_scale_key(time, {5, 5, 5});
        a.add_position_key(time, {0, 0, 0});
        continue;
      }
      const int32_t z = s.random(1500) - 750;
      const int32_t y = s.random(1500) - 750;
      const int32_t x = s.random(1500) - 750;
      a.add_position_key(time, {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
      const int32_t sz = s.random(10);
      const int32_t sy = s.random(10);
      const int32_t sx = s.random(10);
      a.add_scale_key(time, {static_cast<float>(sx), static_cast<float>(sy), static_cast<float>(sz)});
    }
  }
}

void look_along_path(Show& s) {
  if (s.view.cam_path && s.stage.camera) s.stage.camera->look_at(*s.view.cam_path, s.stage.scene.get());
}

}  // namespace

void Party_chargement_anim3(Show& s) {
  s.record.built.push_back("Party_chargement_anim3");
  rm::Root& root = s.stage.root;
  rm::Frame* world = s.stage.scene.get();
  init(s, kEdgeGroup);
  s.chain.Party_actif[kExplosionStep] = true;
  s.scene_frame.at(kExplosionGroup) = root.create_frame(s.stage.scene);

  for (int32_t i = 0; i < kExplosionCount; ++i) s.explosion.explo_anim.at(i) = root.create_animation();
  add_explosion_keys(s);
  for (int32_t i = 0; i < kExplosionCount; ++i) {
    const int32_t object = kFirstExplosionObject + i;
    s.explosion.explo_anim.at(i)->set_options(kExplosionOptions);
    add_objet(s, kExplosionGroup, object, "00000012.dat", "explo.BMP", 0, 0, 0);
    s.explosion.explo_anim.at(i)->set_frame(s.objet_frame.get(object));
  }

  s.explosion.focale_frame = root.create_frame(s.stage.scene);
  s.view.cam_anim = root.create_animation();
  s.view.cam_anim->set_options(kPathOptions);
  for (const Key& k : kCameraLeadKeys) s.view.cam_anim->add_position_key(k.time, k.position);
  s.explosion.focale_anim = root.create_animation();
  s.explosion.focale_anim->set_options(kPathOptions);
  for (const Key& k : kFieldKeys) s.explosion.focale_anim->add_position_key(k.time, k.position);
  for (const Key& k : kCameraKeys) s.view.cam_anim->add_position_key(k.time, k.position);
  s.view.cam_anim->add_position_key(static_cast<float>(s.clock.Temps[kExplosionEnd] - 500), {0, 150, 0});
  s.view.cam_anim->add_position_key(static_cast<float>(s.clock.Temps[kExplosionEnd]), {0, 250, 0});
  s.view.cam_anim->set_frame(s.stage.camera);
  s.explosion.focale_anim->set_frame(s.explosion.focale_frame);

  s.clock.horloge = 0.0f;
  add_objet(s, kExplosionGroup, 10, "00000008.dat", "introsi.bmp", 0, 0, 0);
  if (auto& camera = s.stage.camera) {
    camera->set_position(world, {0, 0, 0});
    // Zero vectors: the step orients the camera every tick.
    camera->set_orientation(world, {0, 0, 0}, {0, 0, 0});
  }
  Chargement(s, "Chargement des OBJET OK!");
  Chargement(s, "Constructing ............. Fin Timer");
  if (auto group = s.scene_frame.get(kExplosionGroup)) world->add_visual(group);
  controls::Contraste(s, 24, 145);
  parse_ahead_for(s, Scene::Finale);
}

void Party_4(Show& s) {
  rm::Frame* world = s.stage.scene.get();
  rm::Viewport* viewport = s.stage.viewport.get();
  // The clock is read afresh at each use: a hand-over restarts it.
  if (s.clock.horloge > static_cast<float>(s.clock.Temps[kExplosionEnd])) Party_chargement_anim6(s);
  if (viewport) viewport->set_uniform_scaling(true);

  if (s.view.cam_anim) s.view.cam_anim->set_time(s.clock.horloge / 4);
  if (s.explosion.focale_anim) s.explosion.focale_anim->set_time(s.clock.horloge / 4);
  look_along_path(s);
  for (int32_t i = 0; i < kExplosionCount; ++i) {
    if (auto a = s.explosion.explo_anim.get(i)) a->set_time(s.clock.horloge / 4);
  }
  if (s.explosion.focale_frame && viewport) viewport->set_field(s.explosion.focale_frame->position(world).x / 20);
  world->move(1.0f);

  for (size_t k = 0; k < 2; ++k) {
    if (s.explosion.effet[k]) s.explosion.angle_vue = advance_angle_vue(s.explosion.angle_vue);
  }
  if (s.view.cam_anim) s.view.cam_anim->set_time(s.clock.horloge + 1000);
  look_along_path(s);

  if (viewport) {
    // A zero or negative size is refused by the viewport; the tick goes on.
    if (s.explosion.effet[0]) {
      const rm::Rect r = turning_window(s.explosion.angle_vue);
      viewport->configure(r.x, r.y, r.width, r.height);
    }
    if (s.explosion.effet[1]) {
      const rm::Rect r = growing_window(s.explosion.angle_vue);
      viewport->configure(r.x, r.y, r.width, r.height);
    }
  }
  if (s.explosion.effet[2]) {
    const int32_t r1 = s.random(50) - 25;
    const int32_t r2 = s.random(50) - 25;
    // The picture shown at the next flip moves; the back surface stays.
    s.DXDraw.scroll_next_present(r2, r1);
  }

  // A loud moment whitens the picture at once and restarts the ramp.
  if (is_beat(s.music.level(s.clock.flux_musique))) {
    s.explosion.flash_fini = false;
    s.explosion.flash_n = 0;
    s.DXDraw.fill(0xFFFFFFu);
    s.DXDraw.flip();
  }
  flash_contrast(s);
  if (viewport) viewport->set_uniform_scaling(false);
}

}  // namespace quarvel::scene
