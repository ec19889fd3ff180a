// The forest edge, the model scene and the finale: their builders' order,
// draws and settings, and their steps' hand-overs, animation times and
// camera handling.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "controls/effects.h"
#include "scene/primitives.h"
#include "scenes/chain_parts.h"
#include "scenes/steps.h"
#include "show_fixture.h"

namespace quarvel {
namespace {

using testing::CurrentDir;
using testing::TempDir;

const std::string kShowDir = std::string(QUARVEL_BINARY_DIR) + "/show";

bool ramp_is(const scene::Show& s, uint8_t low, uint8_t high) {
  render::GammaRamp now;
  s.DXDraw.get_gamma(now);
  const render::GammaRamp want = controls::contrast_ramp(low, high);
  return now.red == want.red && now.green == want.green && now.blue == want.blue;
}

class Chain : public testing::ShowTest {
 protected:
  void SetUp() override {
    s.clock.Temps[2] = 1370;
    s.clock.Temps[3] = 2500;
    s.clock.Temps[4] = 1480;
  }
  // Runs `builder` in a folder: the generated show when it is there and
  // `with_files`, else an empty one.
  void build(void (*builder)(scene::Show&), bool with_files = false) {
    const bool have_show = std::filesystem::exists(kShowDir + "/00000003.dat");
    if (with_files && !have_show) GTEST_SKIP() << "no generated show folder";
    CurrentDir here(with_files ? std::filesystem::path(kShowDir) : empty_.path());
    s.exe_dir = with_files ? kShowDir + "/" : empty_.path().string() + "/";
    ::testing::internal::CaptureStderr();
    builder(s);
    stderr_ = ::testing::internal::GetCapturedStderr();
  }
  void tick(void (*step)(scene::Show&), float clock) {
    s.clock.horloge = clock;
    f.update_input();
    step(s);
  }
  TempDir empty_;
  std::string stderr_;
};

// ---- Forest edge

TEST_F(Chain, ForestEdgeTreesDrawSizesThenPlacesFromTheSharedSequence) {
  s.random(11);  // earlier draws carry on
  scene::Random expected = s.rng;
  build(scene::Party_chargement_anim4);
  const rm::Frame* world = s.stage.scene.get();
  for (int j = 21; j <= 40; ++j) {
    expected.random(6);  // width
    expected.random(9);  // height
    float x = 0, z = -2000;
    if (j <= 30) {
      z = static_cast<float>(expected.random(500) - 1000);
      x = static_cast<float>(expected.random(2000));
    } else {
      x = static_cast<float>(expected.random(1800));
    }
    auto frame = s.objet_frame.get(j);
    ASSERT_TRUE(frame) << j;
    const rm::Vec3 p = frame->position(world);
    EXPECT_EQ(p.x, x) << j;
    EXPECT_EQ(p.y, 0.0f) << j;
    EXPECT_EQ(p.z, z) << j;
    if (j <= 30) {
      EXPECT_GE(p.z, -1000.0f);
      EXPECT_LE(p.z, -501.0f);
      EXPECT_LT(p.x, 2000.0f);
    } else {
      EXPECT_LT(p.x, 1800.0f);
    }
  }
  EXPECT_EQ(s.rng.seed, expected.seed);
  EXPECT_EQ(s.rng.draws, expected.draws);
}

TEST_F(Chain, ForestEdgeBuilderLeavesItsStepRunningWithAFreshClock) {
  s.chain.Party_actif.fill(true);
  s.clock.horloge = 2000.5f;
  s.scene_frame[2] = s.stage.root.create_frame(s.stage.scene);
  build(scene::Party_chargement_anim4);
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim4"});
  EXPECT_EQ(s.chain.Party_actif, scene::StepFlags::only(scene::kForestEdgeStep));
  EXPECT_EQ(s.clock.horloge, 0.0f);
  EXPECT_FALSE(s.scene_frame.get(2));
  ASSERT_TRUE(s.scene_frame.get(4));
  EXPECT_EQ(s.scene_frame.get(4)->parent(), s.stage.scene.get());
  // Not a visual of the scene frame: it is drawn as a child.
  for (const auto& v : s.stage.scene->visuals()) EXPECT_NE(v, s.scene_frame.get(4));
  EXPECT_TRUE(ramp_is(s, 24, 145));
  ASSERT_TRUE(s.objet_frame.get(50));
  EXPECT_EQ(s.objet_frame.get(50)->parent(), s.scene_frame.get(4).get());
  // Without files there is no path frame to follow.
  EXPECT_FALSE(s.view.cam_path);
}

TEST_F(Chain, ForestEdgeOnTheShowFilesSetsOptionsAndTakesThePathFrame) {
  build(scene::Party_chargement_anim4, true);
  auto set = s.anim_set.get(1);
  ASSERT_TRUE(set);
  for (const auto& a : set->animations()) EXPECT_EQ(a->options(), scene::kLoadedAnimationOptions);
  ASSERT_TRUE(s.anim_frame.get(0));
  ASSERT_FALSE(s.anim_frame.get(0)->children().empty());
  EXPECT_EQ(s.view.cam_path, s.anim_frame.get(0)->children().front());
  // The untextured ground object says nothing about its empty texture name.
  EXPECT_EQ(stderr_.find("\"\""), std::string::npos) << stderr_;
  EXPECT_TRUE(stderr_.empty()) << stderr_;
}

TEST_F(Chain, ForestEdgeHandsOverOnlyAboveItsEnd) {
  build(scene::Party_chargement_anim4);
  tick(scene::Party_5, 1370.0f);
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim4"});
  tick(scene::Party_5, 1370.01f);
  EXPECT_EQ(s.record.built.back(), "Party_chargement_anim5");
  EXPECT_TRUE(s.chain.Party_actif[scene::kModelSceneStep]);
  EXPECT_FALSE(s.chain.Party_actif[scene::kForestEdgeStep]);
  EXPECT_EQ(s.clock.horloge, 0.0f);
}

TEST_F(Chain, EdgeStepsScrollTheGroundFiveAndSetTheField) {
  build(scene::Party_chargement_anim4);
  s.wrap_u = 7;
  s.view.focale = 30;
  tick(scene::Party_5, 10);
  EXPECT_EQ(s.wrap_u, 2);
  ASSERT_TRUE(s.wrap_tab.get(0));
  EXPECT_FLOAT_EQ(s.stage.viewport->field(), 1.5f);
  tick(scene::Party_5, 11);
  EXPECT_EQ(s.wrap_u, -3);
}

// The camera's own motion stops unless an input of the matching group is
// held; button 9 (F2) belongs to neither.
TEST_F(Chain, HeldMovementKeepsTheVelocityAndReleasingStopsIt) {
  build(scene::Party_chargement_anim4);
  rm::Frame& camera = *s.stage.camera;
  const rm::Frame* world = s.stage.scene.get();
  camera.set_velocity(world, {0, 0, 4});
  f.raw_input.press(38);  // Up arrow
  tick(scene::Party_5, 1);
  testing::expect_near(camera.velocity(world), {0, 0, 4});
  f.raw_input.release(38);
  f.raw_input.press(113);  // F2
  tick(scene::Party_5, 2);
  testing::expect_near(camera.velocity(world), {0, 0, 0});
}

TEST_F(Chain, InputGroupsAreTheStatedStates) {
  f.update_input();
  EXPECT_FALSE(scene::movement_input_held(s));
  EXPECT_FALSE(scene::turning_input_held(s));
  f.raw_input.press('Z');  // button 1
  f.update_input();
  EXPECT_TRUE(scene::movement_input_held(s));
  EXPECT_FALSE(scene::turning_input_held(s));
  f.raw_input.release('Z');
  f.raw_input.press(37);  // Left arrow
  f.update_input();
  EXPECT_FALSE(scene::movement_input_held(s));
  EXPECT_TRUE(scene::turning_input_held(s));
}

// ---- Model scene

TEST_F(Chain, ModelSceneResetsFieldViewportAndFog) {
  s.view.focale = 3;
  s.stage.viewport->set_field(0.15f);
  s.stage.viewport->configure(10, 10, 100, 100);
  s.stage.scene->set_scene_fog_enable(true);
  s.scene_frame[4] = s.stage.root.create_frame(s.stage.scene);
  s.chain.Party_actif[scene::kForestEdgeStep] = true;
  build(scene::Party_chargement_anim5);
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim5"});
  EXPECT_EQ(s.chain.Party_actif, scene::StepFlags::only(scene::kModelSceneStep));
  EXPECT_EQ(s.view.focale, 20);
  EXPECT_EQ(s.stage.viewport->field(), 1.0f);
  const rm::Rect r = s.stage.viewport->rect();
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  EXPECT_FALSE(s.stage.scene->scene_fog().enabled);
  EXPECT_TRUE(ramp_is(s, 24, 145));
  EXPECT_EQ(s.clock.horloge, 0.0f);
}

TEST_F(Chain, ModelStepPlaysAtHalfTheClockKeepsTheFieldAndHandsOverToTheExplosion) {
  build(scene::Party_chargement_anim5, true);
  // A probe animation in set 0 tells the time the step gives the sets.
  auto probe_frame = s.stage.root.create_frame(s.stage.scene);
  auto probe = s.stage.root.create_animation();
  probe->set_options(0x25);  // open, linear, positions
  probe->add_position_key(0, {0, 0, 0});
  probe->add_position_key(1000, {1000, 0, 0});
  probe->set_frame(probe_frame);
  s.anim_set.get(0)->add_animation(probe);
  s.stage.viewport->set_field(0.7f);
  s.stage.viewport->set_uniform_scaling(false);
  tick(scene::Party_6, 300);
  EXPECT_NEAR(probe_frame->position(s.stage.scene.get()).x, 150.0f, 1e-3f);
  EXPECT_EQ(s.stage.viewport->field(), 0.7f);
  EXPECT_TRUE(s.stage.viewport->uniform_scaling());

  s.record.ran.clear();
  tick(scene::Party_6, 2500.5f);
  EXPECT_EQ(s.record.built.back(), "Party_chargement_anim3");
  EXPECT_TRUE(s.chain.Party_actif[scene::kExplosionStep]);
  EXPECT_FALSE(s.chain.Party_actif[scene::kModelSceneStep]);
}

// ---- Finale

TEST_F(Chain, FinaleSavesTheContrastRampAndLoadsItsBackgroundBesideTheProgram) {
  s.DXDraw.set_gamma(controls::contrast_ramp(0, 40));
  s.scene_frame[3] = s.stage.root.create_frame(s.stage.scene);
  s.chain.Party_actif[scene::kExplosionStep] = true;
  build(scene::Party_chargement_anim6, true);
  const render::GammaRamp want = controls::contrast_ramp(24, 145);
  EXPECT_EQ(s.layers.gamma_sauve.red, want.red);
  EXPECT_EQ(s.layers.gamma_sauve.blue, want.blue);
  EXPECT_EQ(s.chain.Party_actif, scene::StepFlags::only(scene::kFinaleStep));
  EXPECT_FALSE(s.scene_frame.get(3));
  ASSERT_TRUE(s.fond_texture);
  EXPECT_EQ(s.fond_texture->name(), kShowDir + "/introsi.bmp");
  EXPECT_EQ(s.stage.scene->scene_background_image(), s.fond_texture);
  EXPECT_FALSE(s.stage.scene->scene_fog().enabled);
  ASSERT_TRUE(s.view.cam_path);
  EXPECT_EQ(s.view.cam_path, s.anim_frame.get(0)->children().front());
  for (const auto& v : s.stage.scene->visuals()) EXPECT_NE(v, s.anim_frame.get(0));
}

TEST_F(Chain, FinaleWithoutFilesBuildsAndRuns) {
  build(scene::Party_chargement_anim6);
  EXPECT_FALSE(s.fond_texture);
  EXPECT_NE(stderr_.find("introsi.bmp"), std::string::npos);
  EXPECT_TRUE(s.chain.Party_actif[scene::kFinaleStep]);
  tick(scene::Party_7, 5);
  EXPECT_EQ(s.view.focale, 9);
}

TEST_F(Chain, FinaleStepForcesTheFieldAndMovesTheSceneOnce) {
  build(scene::Party_chargement_anim6);
  const rm::Frame* world = s.stage.scene.get();
  s.view.focale = 40;
  s.stage.camera->set_position(world, {0, 0, 0});
  s.stage.camera->set_velocity(world, {0, 0, 3});
  tick(scene::Party_7, 5);
  EXPECT_FLOAT_EQ(s.stage.viewport->field(), 0.45f);
  EXPECT_TRUE(s.stage.viewport->uniform_scaling());
  // The step's own move; the frame loop adds the second one.
  testing::expect_near(s.view.cam_pos, {0, 0, 3});
}

}  // namespace
}  // namespace quarvel
