// The forest flight: its builder's draws from the shared sequence, camera
// path, fog and clock; the step's ground scroll, trees, camera and hand-over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "controls/effects.h"
#include "scenes/steps.h"
#include "show_fixture.h"

namespace quarvel {
namespace {

using testing::CurrentDir;
using testing::TempDir;

// The builder run in an empty folder: every model and texture is missing,
// so every object is there but empty.
class ForestFlight : public testing::ShowTest {
 protected:
  void SetUp() override {
    s.clock.Temps[1] = 2000;
    s.clock.flux_musique = 1;
    s.clock.pos_precedente = 27000;
    f.music.position_value = 30000;
  }
  void build() {
    CurrentDir here(dir.path());
    scene::Party_chargement_anim2(s);
  }
  TempDir dir;
};

TEST_F(ForestFlight, TreePlacementAndSizesDrawFromTheSharedSequence) {
  s.random(7);  // whatever came before carries on
  scene::Random expected = s.rng;
  build();

  std::array<rm::Vec3, 31> places{};
  for (auto& p : places) {
    int32_t x = 0;
    do {
      x = expected.random(2000) - 1000;
    } while (x > -500 && x < 500);
    p.x = static_cast<float>(x);
    p.z = static_cast<float>(expected.random(4000) - 2000);
  }
  for (size_t r = 0; r < places.size(); ++r) {
    EXPECT_EQ(s.forest_flight.arbre_pos[r].x, places[r].x) << r;
    EXPECT_EQ(s.forest_flight.arbre_pos[r].z, places[r].z) << r;
    EXPECT_TRUE(s.forest_flight.arbre_pos[r].x <= -500 || s.forest_flight.arbre_pos[r].x >= 500);
    EXPECT_LT(s.forest_flight.arbre_pos[r].x, 1000);
    EXPECT_GE(s.forest_flight.arbre_pos[r].z, -2000);
    EXPECT_LT(s.forest_flight.arbre_pos[r].z, 2000);
  }
  for (int i = 0; i < 21 * 2; ++i) expected.random(9);  // tree widths and heights
  EXPECT_EQ(s.rng.seed, expected.seed);
  EXPECT_EQ(s.rng.draws, expected.draws);
  EXPECT_GE(s.rng.draws, 1u + 31 * 2 + 21 * 2);
}

TEST_F(ForestFlight, BuilderLeavesTheForestRunning) {
  s.chain.Party_actif.fill(true);
  s.layers.etape_logo = 5;
  build();
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim2"});
  EXPECT_EQ(s.chain.Party_actif, scene::StepFlags::only(scene::kForestFlightStep));
  EXPECT_EQ(s.layers.etape_logo, 0);
  EXPECT_EQ(s.clock.pos_musique, 30000u);
  EXPECT_FLOAT_EQ(s.clock.pas_temps, 2.0f);
  EXPECT_FLOAT_EQ(s.clock.horloge, 2.0f);
  EXPECT_EQ(s.clock.pos_precedente, 27000u);
  EXPECT_NE(std::find(f.music.calls.begin(), f.music.calls.end(), "play_stream 1 loop"), f.music.calls.end());

  const rm::Fog& fog = s.stage.scene->scene_fog();
  EXPECT_TRUE(fog.enabled);
  EXPECT_EQ(fog.color, 0xFF193F19u);
  EXPECT_FLOAT_EQ(fog.start, 100.0f);
  EXPECT_FLOAT_EQ(fog.end, 2500.0f);

  render::GammaRamp g;
  f.DXDraw.get_gamma(g);
  EXPECT_EQ(g, controls::contrast_ramp(24, 145));
  EXPECT_GE(f.DXDraw.flips(), 1);  // the white flash

  ASSERT_NE(s.view.cam_anim, nullptr);
  EXPECT_EQ(s.view.cam_anim->options(), 0x2Au);
  EXPECT_EQ(s.view.cam_anim->position_key_count(), 12u);
  EXPECT_EQ(s.view.cam_anim->frame(), s.stage.camera);
  ASSERT_NE(s.view.cam_path, nullptr);
  const rm::Vec3 aim = s.view.cam_path->position(s.stage.scene.get());
  EXPECT_EQ(aim, rm::Vec3(0, 150, -200));

  auto root = s.scene_frame.get(2);
  ASSERT_NE(root, nullptr);
  const auto visuals = s.stage.scene->visuals();
  EXPECT_NE(std::find(visuals.begin(), visuals.end(), root), visuals.end());
  for (int i = 0; i <= 20; ++i) ASSERT_NE(s.objet_frame.get(i), nullptr) << i;
  ASSERT_NE(s.objet_frame.get(50), nullptr);
  EXPECT_EQ(s.objet_frame.get(50)->parent(), root.get());
}

TEST_F(ForestFlight, SecondBuildFindsTheOpeningGoneAndBuildsAgain) {
  build();
  auto first_root = s.scene_frame.get(2);
  build();
  EXPECT_NE(s.scene_frame.get(2), first_root);
  EXPECT_EQ(s.record.built.size(), 2u);
  EXPECT_TRUE(s.chain.Party_actif[scene::kForestFlightStep]);
}

class ForestStep : public ForestFlight {
 protected:
  void SetUp() override {
    ForestFlight::SetUp();
    build();
    s.record.built.clear();
  }
  void tick(float t, float step) {
    s.clock.horloge = t;
    s.clock.pas_temps = step;
    scene::Party_3(s);
  }
};

TEST_F(ForestStep, GroundScrollKeepsTheRemaindersSign) {
  s.wrap_u = -37000;
  tick(10, 1.0f);  // Round(3) = 3
  EXPECT_EQ(s.wrap_u, -997);
  ASSERT_NE(s.wrap_tab.get(0), nullptr);
  EXPECT_FLOAT_EQ(s.wrap_tab.get(0)->params().ou, -997.0f / 25.0f);
  EXPECT_FLOAT_EQ(s.wrap_tab.get(0)->params().su, 0.002f);
  s.wrap_u = 998;
  tick(10, 1.0f);
  EXPECT_EQ(s.wrap_u, 1);
}

TEST_F(ForestStep, TreesStreamPastAndComeRound) {
  s.forest_flight.arbre_pos[0] = {700, 0, 1990};
  s.forest_flight.arbre_pos[1] = {-600, 0, 100};
  tick(10, 1.0f / 3.0f);  // Round(20) = 20
  EXPECT_EQ(s.forest_flight.arbre_pos[0].z, -1990.0f);
  EXPECT_EQ(s.forest_flight.arbre_pos[1].z, 120.0f);
  EXPECT_EQ(s.objet_frame.get(0)->position(s.stage.scene.get()), rm::Vec3(700, -100, -1990));
  EXPECT_EQ(s.objet_frame.get(1)->position(s.stage.scene.get()), rm::Vec3(-600, -100, 120));
  tick(10, 0.0f);  // no music step: nothing moves
  EXPECT_EQ(s.forest_flight.arbre_pos[1].z, 120.0f);
}

TEST_F(ForestStep, CameraFliesThePathLookingAtItsAim) {
  tick(120, 0);
  const rm::Vec3 p = s.stage.camera->position(s.stage.scene.get());
  EXPECT_NEAR(p.x, 600, 1e-2);
  EXPECT_NEAR(p.y, 50, 1e-2);
  EXPECT_NEAR(p.z, -800, 1e-2);
  rm::Vec3 dir, up;
  s.stage.camera->orientation(s.stage.scene.get(), dir, up);
  const rm::Vec3 to_aim = rm::Vec3(0, 150, -200) - p;
  const float len = std::sqrt(rm::dot(to_aim, to_aim));
  EXPECT_NEAR(rm::dot(dir, to_aim) / len, 1.0f, 1e-3);
  EXPECT_EQ(s.stage.scene->scene_fog().start, 0.0f);
}

TEST_F(ForestStep, HandsOverOnlyPastItsEnd) {
  tick(2000, 1);
  EXPECT_TRUE(s.record.built.empty());
  tick(2000.5f, 1);
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim4"});
}

}  // namespace
}  // namespace quarvel
