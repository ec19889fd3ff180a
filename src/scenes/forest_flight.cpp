// The forest flight: a row of trees streaming past over a scrolling ground in
// green fog, the camera flying a closed spline path.
#include <array>
#include <cstdint>

#include "controls/effects.h"
#include "scene/helpers.h"
#include "scene/loading.h"
#include "scene/primitives.h"
#include "scenes/chain_parts.h"
#include "scenes/steps.h"

namespace quarvel::scene {


namespace {

constexpr int32_t kTreeCount = 21;
// Closed, spline positions, positions.
constexpr uint32_t kCameraPathOptions = 0x2A;
// The forest ground's texture scale (the fixed scroll elsewhere uses kGroundScale).
constexpr float kForestGroundScale = 0.002f;

struct PathKey {
  float time;
  Vec3 position;
};
constexpr std::array<PathKey, 12> kCameraPath{{
    {0, {0, 3000, -200}},
    {120, {600, 50, -800}},
    {200, {0, 450, -800}},
    {400, {1000, 750, 800}},
    {500, {-1400, 2, 1000}},
    {700, {0, 1500, -1500}},
    {1000, {500, 10, 0}},
    {1100, {0, 400, -500}},
    {1200, {-1520, 180, -100}},
    {1300, {800, 400, 0}},
    {1700, {0, 800, 800}},
    {2000, {0, 1000, -1000}},
}};

uint32_t forest_fog_colour() { return RGB(0.1f, 0.25f, 0.1f); }

// Trees stand at least 500 units left or right of the flight line.
void place_trees(Show& s) {
  for (auto& p : s.forest_flight.arbre_pos) {
    int32_t x = 0;
    do {
      x = s.random(2000) - 1000;
    } while (!(x <= -500 || x >= 500));
    const int32_t z = s.random(4000) - 2000;
    p.x = static_cast<float>(x);
    p.z = static_cast<float>(z);
  }
}

}  // namespace

void Party_chargement_anim2(Show& s) {
  s.record.built.push_back("Party_chargement_anim2");
  s.DXDraw.fill(0xFFFFFFu);
  s.DXDraw.flip();
  s.layers.etape_logo = 0;
  init(s, kOpeningGroup);
  s.clock.pos_musique = s.music.position(s.clock.flux_musique);

  rm::Frame* world = s.stage.scene.get();
  s.view.cam_path = s.stage.root.create_frame(s.stage.scene);
  s.view.cam_path->set_position(world, {0, 150, -200});
  s.scene_frame.at(kForestFlightGroup) = s.stage.root.create_frame(s.stage.scene);
  place_trees(s);
  s.chain.Party_actif[kForestFlightStep] = true;

  s.view.cam_anim = s.stage.root.create_animation();
  s.view.cam_anim->set_options(kCameraPathOptions);
  for (const PathKey& k : kCameraPath) s.view.cam_anim->add_position_key(k.time, k.position);
  s.view.cam_anim->set_frame(s.stage.camera);

  add_wrap(s, kForestFlightGroup, 0, "00000010.dat", "greenmos.bmp", 0, -105, 0);
  for (int32_t i = 0; i < kTreeCount; ++i) {
    add_objet(s, kForestFlightGroup, i, "00000009.dat", "arbre1.bmp", 0, 0, 100 * i);
    const auto w = static_cast<float>(s.random(6) + 5);
    const auto h = static_cast<float>(s.random(9) + 3);
    if (auto m = s.objet_mesh.get(i)) m->scale(w, h, w);
  }
  add_objet(s, kForestFlightGroup, 50, "00000014.dat", "", 0, 0, 0);
  if (auto m = s.objet_mesh.get(50)) m->scale(1000, 1000, 1000);

  if (auto& camera = s.stage.camera) {
    camera->set_position(world, {0, 0, -500});
    camera->set_orientation(world, {0, 0, 0}, {0, 0, 0});
  }
  add_anim(s, kForestFlightGroup, 0, "00000011.dat", 0, 0, 0);
  Chargement(s, "Chargement des OBJET OK!");
  Chargement(s, "Constructing ............. Fin Timer");
  if (auto root = s.scene_frame.get(kForestFlightGroup)) world->add_visual(root);

  world->set_scene_fog_enable(true);
  world->set_scene_fog_color(forest_fog_colour());
  world->set_scene_fog_params(100.0f, 2500.0f, 1.0f);

  s.clock.pas_temps =
      clock_step(s.clock.pos_musique, s.clock.pos_precedente, s.music.length(s.clock.flux_musique));
  s.clock.horloge = s.clock.pas_temps;
  s.music.play_stream(s.clock.flux_musique, false, true);
  controls::Contraste(s, 24, 145);
  parse_ahead_for(s, Scene::ForestEdge);
}

void Party_3(Show& s) {
  float t = s.clock.horloge;
  rm::Frame* world = s.stage.scene.get();

  world->set_scene_fog_enable(true);
  world->set_scene_fog_color(forest_fog_colour());
  world->set_scene_fog_params(0, 2500.0f, 1.0f);

  if (t > static_cast<float>(s.clock.Temps[kForestFlightEnd])) {
    Party_chargement_anim4(s);
    t = s.clock.horloge;  // the rest of the tick sees the next scene's clock
  }

  // The ground scrolls with the music; the remainder keeps the dividend's sign.
  scroll_ground(s,
                static_cast<int32_t>((static_cast<int64_t>(s.wrap_u) + Round(3.0 * s.clock.pas_temps)) % 1000),
                kForestGroundScale);

  // The trees stream toward the camera and come round again 4000 units back.
  const auto advance = static_cast<float>(Round(60.0 * s.clock.pas_temps));
  for (int32_t i = 0; i < kTreeCount; ++i) {
    Vec3& p = s.forest_flight.arbre_pos[static_cast<size_t>(i)];
    p.z += advance;
    if (p.z > 2000.0f) p.z -= 4000.0f;
    if (auto f = s.objet_frame.get(i)) f->set_position(world, {p.x, -100, p.z});
  }

  if (s.view.cam_anim) {
    s.view.cam_anim->set_frame(s.stage.camera);
    s.view.cam_anim->set_time(t);
  }
  if (s.view.cam_path && s.stage.camera) s.stage.camera->look_at(*s.view.cam_path, world);
  if (auto a = s.anim_set.get(0)) a->set_time(static_cast<float>(Round(t) % 50) / 2.0f);
}

}  // namespace quarvel::scene
