// The operator's controls with a scripted keyboard and mouse: every key of
// the finale's handler with and without Backspace, the order of the keys and
// the mouse, the clock keys, the light file, the scene jumps, and the pick.
#include "controls/operator.h"

#include <gtest/gtest.h>

#include <SDL_keycode.h>
#include <SDL_scancode.h>

#include <climits>
#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "scene/helpers.h"
#include "scene/lights.h"
#include "show_fixture.h"

namespace quarvel::controls {
namespace {

using scene::Vec3;
using testing::expect_near;

// The builders the jumps call, recorded.
std::vector<std::string> jumped;
void fake_forest(scene::Show& s) {
  jumped.push_back("forest");
  s.chain.Party_actif = {};
  s.chain.Party_actif[scene::kForestFlightStep] = true;
}
void fake_explosion(scene::Show& s) {
  jumped.push_back("explosion");
  s.chain.Party_actif = {};
  s.chain.Party_actif[scene::kExplosionStep] = true;
}

// A unit view direction with three different components.
const Vec3 kDir{0.48f, 0.6f, 0.64f};

class Operator : public testing::ShowTest {
 protected:
  void SetUp() override {
    jumped.clear();
    s.controls.vitesse = 10;
    s.clock.pas_temps = 2.0f;
    s.clock.horloge = 100.0f;
    camera().set_orientation(world(), kDir, {0, 1, 0});
  }
  rm::Frame& camera() { return *f.stage.camera; }
  rm::Frame* world() { return f.stage.scene.get(); }

  // One call with exactly these keys held (and the mouse as set).
  void run(std::initializer_list<int> keys) {
    f.raw_input.keys = {};
    for (int k : keys) f.raw_input.press(k);
    f.update_input();
    Clavier(s, jumps);
  }
  Vec3 velocity() { return camera().velocity(world()); }
  // The camera's direction and up after one move of the scene, and what a
  // probe with the camera's pose and the given turn shows after that move.
  void expect_turn(const Vec3& axis, float angle) {
    auto probe = f.stage.root.create_frame(f.stage.scene);
    Vec3 d, u;
    camera().orientation(world(), d, u);
    probe->set_orientation(world(), d, u);
    probe->set_rotation(world(), axis, angle);
    world()->move(1.0f);
    Vec3 pd, pu, cd, cu;
    probe->orientation(world(), pd, pu);
    camera().orientation(world(), cd, cu);
    expect_near(cd, pd, 1e-5f);
    expect_near(cu, pu, 1e-5f);
    // And it did turn.
    EXPECT_GT(std::fabs(cd.x - d.x) + std::fabs(cd.y - d.y) + std::fabs(cd.z - d.z) + std::fabs(cu.x - u.x) +
                  std::fabs(cu.y - u.y) + std::fabs(cu.z - u.z),
              1e-4f);
  }

  Jumps jumps{fake_forest, fake_explosion};
};

TEST_F(Operator, ReadsTheCameraDirectionBeforeAnyKey) {
  s.view.cam_dir = {0, 0, 0};
  run({});
  expect_near(s.view.cam_dir, kDir, 1e-6f);
  expect_near(s.view.cam_up, {-0.36f, 0.8f, -0.48f}, 1e-5f);
  run({36});  // Home flies along the direction just read
  expect_near(velocity(), {10 * kDir.x / 4, 10 * kDir.y / 4, 10 * kDir.z / 4}, 1e-5f);
}

TEST_F(Operator, EnterAndShiftSetTheCameraModeAndTheClock) {
  s.controls.cam_auto = false;
  run({13});
  EXPECT_TRUE(s.controls.cam_auto);
  EXPECT_EQ(s.clock.horloge, 1.0f);
  s.clock.horloge = 50.0f;
  run({16});
  EXPECT_FALSE(s.controls.cam_auto);
  EXPECT_EQ(s.clock.horloge, 1.0f);
  // Both: Enter's action first, then Shift's.
  s.clock.horloge = 50.0f;
  run({13, 16});
  EXPECT_FALSE(s.controls.cam_auto);
  EXPECT_EQ(s.clock.horloge, 1.0f);
  // Backspace changes neither.
  run({8, 13});
  EXPECT_TRUE(s.controls.cam_auto);
}

TEST_F(Operator, ClockKeysRunFastHoldAndReverse) {
  run({42});
  EXPECT_EQ(s.clock.horloge, 108.0f);  // + 4 x pas_temps
  run({109});
  EXPECT_EQ(s.clock.horloge, 107.0f);  // - pas_temps / 2
  run({111});
  EXPECT_EQ(s.clock.horloge, 105.0f);  // - pas_temps
  run({8, 42});                   // with Backspace too
  EXPECT_EQ(s.clock.horloge, 113.0f);
  // All three: 113 + 8 - 1 - 2.
  run({42, 109, 111});
  EXPECT_EQ(s.clock.horloge, 118.0f);
  // A backward music step turns them around.
  s.clock.pas_temps = -2.0f;
  run({42});
  EXPECT_EQ(s.clock.horloge, 110.0f);
}

TEST_F(Operator, FlagKeys) {
  s.explosion.flash_fini = true;
  s.opening.anim_x_actif = false;
  run({70});
  EXPECT_FALSE(s.explosion.flash_fini);
  run({80});
  EXPECT_TRUE(s.opening.anim_x_actif);
  run({8, 83});  // S with Backspace: the events off, nothing saved
  EXPECT_FALSE(s.opening.anim_x_actif);
  s.opening.etape_x = 5;
  run({8, 32});  // Space has no Backspace action
  EXPECT_EQ(s.opening.etape_x, 5);
  run({32});
  EXPECT_EQ(s.opening.etape_x, 0);
}

TEST_F(Operator, NumpadPlusSpeedsUpAndWrapsAtTheTop) {
  run({107});
  EXPECT_EQ(s.controls.vitesse, 11);
  run({8, 107});
  EXPECT_EQ(s.controls.vitesse, 12);
  s.controls.vitesse = INT32_MAX;
  run({107});
  EXPECT_EQ(s.controls.vitesse, INT32_MIN);
}

TEST_F(Operator, TabSwitchesTheOverlay) {
  run({9});
  EXPECT_TRUE(s.layers.affiche_infos);
  run({8, 9});
  EXPECT_FALSE(s.layers.affiche_infos);
}

TEST_F(Operator, FlightKeysWithoutBackspace) {
  const float v = 10, x = kDir.x, y = kDir.y, z = kDir.z;
  run({33});
  expect_near(velocity(), {0, v, 0}, 1e-5f);
  run({34});  // the direction's components in the order y, z, x
  expect_near(velocity(), {-v * y / 4, -v * z / 4, -v * x / 4}, 1e-5f);
  run({35});
  expect_near(velocity(), {-v * x / 4, -v * y / 4, -v * z / 4}, 1e-5f);
  run({36});
  expect_near(velocity(), {v * x / 4, v * y / 4, v * z / 4}, 1e-5f);
  run({45});
  expect_near(velocity(), {0, -v, 0}, 1e-5f);
  run({46});
  expect_near(velocity(), {v * y / 4, v * z / 4, v * x / 4}, 1e-5f);
  // The speed scales them; a velocity stays when the key is released.
  s.controls.vitesse = 40;
  run({33});
  run({});
  expect_near(velocity(), {0, 40, 0}, 1e-5f);
}

TEST_F(Operator, LaterKeysWin) {
  run({33, 36});  // Page Up (33) first, then Home (36)
  expect_near(velocity(), {10 * kDir.x / 4, 10 * kDir.y / 4, 10 * kDir.z / 4}, 1e-5f);
}

TEST_F(Operator, FlightKeysWithBackspaceTurnAndLeaveTheVelocity) {
  run({33});
  const Vec3 up{0, 10, 0};
  const struct {
    int key;
    Vec3 axis;
    float angle;
  } turns[] = {{33, {0, 0, 1}, 0.01f}, {34, {0, 0, 1}, -0.01f}, {35, {0, 1, 0}, 0.01f},
               {36, {0, 1, 0}, -0.01f}, {45, {1, 0, 0}, 0.01f}, {46, {1, 0, 0}, -0.01f}};
  for (const auto& t : turns) {
    SCOPED_TRACE(t.key);
    camera().set_position(world(), {0, 0, 0});
    camera().set_velocity(world(), up);
    run({8, t.key});
    expect_near(velocity(), up, 1e-6f);
    camera().set_velocity(world(), {0, 0, 0});
    expect_turn(t.axis, t.angle);
    camera().set_rotation(world(), {0, 0, 0}, 0);
    camera().set_orientation(world(), kDir, {0, 1, 0});
  }
}

TEST_F(Operator, EffectKeysArmAndDisarm) {
  run({49, 50, 51});
  EXPECT_EQ(s.explosion.effet, (std::array<bool, 3>{true, true, true}));
  run({8, 50});
  EXPECT_EQ(s.explosion.effet, (std::array<bool, 3>{true, false, true}));
  run({8, 49, 51});
  EXPECT_EQ(s.explosion.effet, (std::array<bool, 3>{false, false, false}));
}

TEST_F(Operator, CameraModeKeys) {
  run({8, 67, 76});
  EXPECT_FALSE(s.view.cam_suivi);
  EXPECT_FALSE(s.view.cam_vise);
  run({67, 76});
  EXPECT_TRUE(s.view.cam_suivi);
  EXPECT_TRUE(s.view.cam_vise);
}

TEST_F(Operator, LightKeysMoveAndColourTheEditableLight) {
  run({82, 71, 66});
  EXPECT_EQ(s.controls.light_r, 1.0f);
  EXPECT_EQ(s.controls.light_g, 1.0f);
  EXPECT_EQ(s.controls.light_b, 1.0f);
  run({8, 82});
  run({8, 82});
  run({8, 71, 66});
  EXPECT_EQ(s.controls.light_r, -1.0f);
  EXPECT_EQ(s.controls.light_g, 0.0f);
  EXPECT_EQ(s.controls.light_b, 0.0f);
  run({102, 104, 105});
  run({102});
  EXPECT_EQ(s.controls.light_x, 2.0f);
  EXPECT_EQ(s.controls.light_z, 1.0f);
  EXPECT_EQ(s.controls.light_y, 1.0f);
  run({100, 98, 99});
  run({98});
  EXPECT_EQ(s.controls.light_x, 1.0f);
  EXPECT_EQ(s.controls.light_z, -1.0f);
  EXPECT_EQ(s.controls.light_y, 0.0f);
  // The numpad keys have no Backspace action.
  run({8, 100, 102, 98, 99, 104, 105});
  EXPECT_EQ(s.controls.light_x, 1.0f);
  EXPECT_EQ(s.controls.light_y, 0.0f);
  EXPECT_EQ(s.controls.light_z, -1.0f);
}

TEST_F(Operator, SaveKeyAppendsALinePerCallOnlyToAnExistingFile) {
  testing::TempDir dir;
  testing::CurrentDir here(dir.path());
  run({83});
  EXPECT_FALSE(std::filesystem::exists(dir.file("tmp.tmp")));
  EXPECT_FALSE(s.opening.anim_x_actif);
  testing::write_text_file(dir.file("tmp.tmp"), "old\r\n");
  s.controls.light_x = 2.5f;
  run({83});
  run({83});
  run({8, 83});
  const std::string line = scene::light_line(s);
  EXPECT_EQ(testing::read_text_file(dir.file("tmp.tmp")), "old\r\n" + line + "\r\n" + line + "\r\n");
}

TEST_F(Operator, JumpKeysCallTheBuildersAndTheKeysAfterThemStillAct) {
  run({117});
  EXPECT_EQ(jumped, std::vector<std::string>{"forest"});
  run({118, 8});
  EXPECT_EQ(jumped, (std::vector<std::string>{"forest", "explosion"}));
  // Both, in key order; the keys above them still act on the new scene.
  jumped.clear();
  s.controls.light_y = 0;
  run({117, 118, 105});
  EXPECT_EQ(jumped, (std::vector<std::string>{"forest", "explosion"}));
  EXPECT_EQ(s.controls.light_y, 1.0f);
  EXPECT_TRUE(s.chain.Party_actif[scene::kExplosionStep]);
  // Without builders the keys do nothing.
  jumps = {};
  run({117, 118});
  EXPECT_EQ(jumped.size(), 2u);
}

TEST_F(Operator, MouseWithTheLeftButtonFliesAndTurnsAndWinsOverTheKeys) {
  f.raw_input.mouse_dx = 40;
  f.raw_input.mouse_dy = -5;
  f.raw_input.buttons[0] = true;
  run({36});  // Home's velocity is replaced
  expect_near(velocity(), {5 * kDir.x, 5 * kDir.y, 5 * kDir.z}, 1e-5f);
  camera().set_velocity(world(), {0, 0, 0});
  expect_turn({0, 1, 0}, 0.1f);
}

TEST_F(Operator, MouseWithoutTheLeftButtonDoesNothing) {
  f.raw_input.mouse_dx = 40;
  f.raw_input.mouse_dy = -5;
  f.raw_input.buttons[1] = true;
  run({33});
  expect_near(velocity(), {0, 10, 0}, 1e-6f);
  // A still mouse with the button held stops the camera.
  f.raw_input.buttons[0] = true;
  run({33});
  expect_near(velocity(), {0, 0, 0}, 1e-6f);
}

TEST_F(Operator, CodesAbove200AreNotLookedAt) {
  const scene::Vec3 before = velocity();
  f.raw_input.keys = {};
  for (int k = kLastKey + 1; k < 256; ++k) f.raw_input.press(k);
  f.update_input();
  Clavier(s, jumps);
  expect_near(velocity(), before, 0);
  EXPECT_EQ(s.clock.horloge, 100.0f);
}

TEST_F(Operator, EveryKeyAtOnceAndAHugeMouseMove) {
  for (bool backspace : {false, true}) {
    SCOPED_TRACE(backspace);
    f.raw_input.keys = {};
    for (int k = 1; k < 256; ++k) f.raw_input.press(k);
    if (!backspace) f.raw_input.release(8);
    f.raw_input.buttons[0] = true;
    f.raw_input.mouse_dx = 2000000;
    f.raw_input.mouse_dy = -3000000;
    f.update_input();
    Clavier(s, jumps);
    world()->move(1.0f);
    EXPECT_TRUE(std::isfinite(s.clock.horloge));
    EXPECT_EQ(jumped.size(), backspace ? 4u : 2u);
    const Vec3 p = camera().position(world());
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    Vec3 d, u;
    camera().orientation(world(), d, u);
    EXPECT_NEAR(d.x * d.x + d.y * d.y + d.z * d.z, 1.0f, 1e-3f);
  }
}

TEST(OperatorKeyNumbers, InputLayerReportsTheNumbersTheTablesUse) {
  const struct {
    SDL_Keycode key;
    SDL_Scancode scancode;
    int code;
  } keys[] = {{SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY, 42}, {SDLK_PERIOD, SDL_SCANCODE_PERIOD, 46},
              {SDLK_DELETE, SDL_SCANCODE_DELETE, 46},          {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, 13},
              {SDLK_RSHIFT, SDL_SCANCODE_RSHIFT, 16},          {SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS, 107},
              {SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS, 109},     {SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE, 111},
              {SDLK_KP_2, SDL_SCANCODE_KP_2, 98},              {SDLK_KP_9, SDL_SCANCODE_KP_9, 105},
              {SDLK_F6, SDL_SCANCODE_F6, 117},                 {SDLK_F7, SDL_SCANCODE_F7, 118},
              {SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, 8}};
  for (const auto& k : keys) EXPECT_EQ(display::virtual_key(k.key, k.scancode), k.code) << k.code;
}

// ---- The pick.

class Pick : public testing::ShowTest {
 protected:
  // A square of side 20 facing the camera at depth z, in its own frame.
  template <typename M>
  std::shared_ptr<M> square(std::shared_ptr<M> m, float z) {
    const uint32_t a = m->add_vertex({-10, 10, 0}), b = m->add_vertex({10, 10, 0});
    const uint32_t c = m->add_vertex({10, -10, 0}), d = m->add_vertex({-10, -10, 0});
    m->add_face({a, b, c, d}, {}, 0xFFFFFFFFu);
    auto frame = f.stage.root.create_frame(f.stage.scene);
    frame->set_position(f.stage.scene.get(), {0, 0, z});
    frame->add_visual(m);
    return m;
  }
  static uint32_t colour(const rm::MeshBase& m) { return m.faces().at(0).color; }
};

TEST_F(Pick, TheNearestMeshBuilderTurnsDarkGreyThreeQuartersOpaque) {
  auto near = square(f.stage.root.create_mesh_builder(), 50);
  auto far = square(f.stage.root.create_mesh_builder(), 80);
  FormMouseDown(s, 320, 240);
  EXPECT_EQ(s.controls.objet_choisi, near);
  EXPECT_EQ(colour(*near), scene::RGBA(0.1f, 0.1f, 0.1f, 0.75f));
  EXPECT_EQ(colour(*near), 0xBF191919u);
  EXPECT_EQ(colour(*far), 0xFFFFFFFFu);
}

TEST_F(Pick, NothingUnderThePressChangesNothing) {
  auto mb = square(f.stage.root.create_mesh_builder(), 50);
  FormMouseDown(s, 320, 240);
  ASSERT_EQ(s.controls.objet_choisi, mb);
  mb->set_color(0xFF00FF00u);
  FormMouseDown(s, 0, 0);
  FormMouseDown(s, -5, 240);
  FormMouseDown(s, 640, 479);
  FormMouseDown(s, 100000, -100000);
  EXPECT_EQ(s.controls.objet_choisi, mb);
  EXPECT_EQ(colour(*mb), 0xFF00FF00u);
}

TEST_F(Pick, AMeshThatIsNoBuilderEmptiesTheChoiceAndKeepsItsColour) {
  auto builder = square(f.stage.root.create_mesh_builder(), 80);
  FormMouseDown(s, 320, 240);
  ASSERT_EQ(s.controls.objet_choisi, builder);
  auto mesh = square(std::make_shared<rm::Mesh>(), 50);
  FormMouseDown(s, 320, 240);
  EXPECT_EQ(s.controls.objet_choisi, nullptr);
  EXPECT_EQ(colour(*mesh), 0xFFFFFFFFu);
}

TEST_F(Pick, TheMainFormPicksThroughTheShow) {
  testing::TempDir dir;
  testing::CurrentDir here(dir.path());
  uint32_t now = 0;
  testing::FakeMusicDevice music;
  app::TMainForm form(display::make_recording_backend(), [&now] { return now; }, music);
  form.Show();
  auto mb = form.stage.root.create_mesh_builder();
  const uint32_t a = mb->add_vertex({-10, 10, 0}), b = mb->add_vertex({10, 10, 0});
  const uint32_t c = mb->add_vertex({10, -10, 0}), d = mb->add_vertex({-10, -10, 0});
  mb->add_face({a, b, c, d});
  auto frame = form.stage.root.create_frame(form.stage.scene);
  frame->add_visual(mb);
  // The start-up camera stands at z = -500 looking along +z.
  form.FormMouseDown(0, 320, 240);
  EXPECT_EQ(form.show().controls.objet_choisi, mb);
  EXPECT_EQ(colour(*mb), 0xBF191919u);
}

}  // namespace
}  // namespace quarvel::controls
