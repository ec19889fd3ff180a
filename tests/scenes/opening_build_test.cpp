// The opening scene built from the generated show folder, then run through
// its end into the forest flight.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "controls/effects.h"
#include "scene/time_table.h"
#include "scenes/opening.h"
#include "scenes/steps.h"
#include "show_fixture.h"

namespace quarvel {
namespace {

using scene::FrameRef;

const std::string kShowDir = std::string(QUARVEL_BINARY_DIR) + "/show";

class OpeningBuild : public testing::ShowTest {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kShowDir + "/00000000.dat")) GTEST_SKIP() << "no generated show folder";
    here = std::make_unique<testing::CurrentDir>(kShowDir);
    s.exe_dir = kShowDir + "/";
    s.clock.flux_musique = 1;
    scene::seed_time_table(s.clock.Temps);
    s.chain.Party_actif[scene::kLoadingStep] = true;
    f.DXTimer.set_enabled(true);
  }
  // How many progress labels the ship-part walk gives on the loaded model.
  size_t walk_labels() {
    size_t n = 0;
    const auto scratch = f.new_show(f.music);
    scene::walk_ship_parts(*scratch, s.anim_frame.get(1), [&n](const std::string&) { ++n; });
    return n;
  }
  std::unique_ptr<testing::CurrentDir> here;
};

TEST_F(OpeningBuild, FillsEverySlotAndStartsTheShow) {
  scene::Party_1(s);
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim"});
  EXPECT_EQ(s.chain.Party_actif, scene::StepFlags::only(scene::kOpeningStep));
  EXPECT_TRUE(f.DXTimer.enabled());
  EXPECT_FALSE(f.Timer_chargement.enabled());
  EXPECT_EQ(s.clock.horloge, 0.0f);
  EXPECT_EQ(s.opening.brouillard_fin, 15000);
  EXPECT_NE(std::find(f.music.calls.begin(), f.music.calls.end(), "play_stream 1 loop"), f.music.calls.end());

  for (int i = 0; i <= 6; ++i) EXPECT_NE(s.opening.vaisseau_frame.get(i), nullptr) << "ship part " << i;
  for (int i = 0; i <= 3; ++i) EXPECT_NE(s.opening.truck_frame.get(i), nullptr) << "truck part " << i;
  EXPECT_NE(s.opening.vaisseau_mesh_a, nullptr);
  EXPECT_NE(s.opening.vaisseau_mesh_b, nullptr);
  EXPECT_NE(s.opening.vaisseau_mesh_c, nullptr);
  for (int i = 1; i <= 4; ++i) EXPECT_NE(s.opening.vaisseau_mesh.get(i), nullptr) << i;
  EXPECT_EQ(s.opening.vaisseau_mesh_b, rm::as_mesh_builder(s.opening.vaisseau_frame.get(1)->visuals().front()));

  // The camera path: the first top-level frame of the camera model, whose
  // frame is no visual of the scene frame; the scene root is one.
  ASSERT_NE(s.anim_frame.get(0), nullptr);
  ASSERT_NE(s.view.cam_path, nullptr);
  EXPECT_EQ(s.view.cam_path, s.anim_frame.get(0)->children().front());
  const auto visuals = s.stage.scene->visuals();
  EXPECT_EQ(std::find(visuals.begin(), visuals.end(), s.anim_frame.get(0)), visuals.end());
  EXPECT_NE(std::find(visuals.begin(), visuals.end(), s.scene_frame.get(1)), visuals.end());
  EXPECT_EQ(s.scene_frame.get(1)->parent(), s.stage.scene.get());

  for (const auto& a : s.anim_set.get(1)->animations()) EXPECT_EQ(a->options(), 0x35u);

  // The fires: the first placed, the other two turned about the origin.
  rm::Frame* world = s.stage.scene.get();
  EXPECT_EQ(s.objet_frame.get(30)->position(world), rm::Vec3(30150, 2268, -1410));
  EXPECT_EQ(s.objet_frame.get(31)->position(world), rm::Vec3(0, 0, 0));
  EXPECT_EQ(s.objet_frame.get(32)->position(world), rm::Vec3(0, 0, 0));
  const rm::Box box = s.objet_mesh.get(30)->box();
  EXPECT_LT(box.max.x - box.min.x, 100.0f);  // scaled down a hundredfold
}

TEST_F(OpeningBuild, DrawsTenTimesPerLoadingFrameWhileTheLoadingScreenShows) {
  scene::Party_1(s);
  // Loading draws while the opening's step flag is set: 2 per animation, 3 labels of
  // the builder, 2 per fire, and one per label of the walk; 10 draws each.
  const size_t loading_frames = 2 * 2 + 3 + 3 * 2 + walk_labels();
  EXPECT_EQ(s.rng.draws, 10 * loading_frames);
  scene::Random expected;
  for (size_t i = 0; i < 10 * loading_frames; ++i) expected.random(5);
  EXPECT_EQ(s.rng.seed, expected.seed);
}

TEST_F(OpeningBuild, RunsToItsEndAndHandsOverAtTheStrictSwitch) {
  scene::Party_1(s);
  s.opening.anim_x_actif = true;
  s.controls.cam_auto = true;
  s.view.cam_suivi = true;
  s.view.focale = 9;
  for (float t : {100.0f, 1000.5f, 1700.0f, 3500.0f, 4700.0f, 6300.0f, 7100.0f, 7300.0f, 7550.0f, 7600.0f}) {
    s.clock.horloge = t;
    scene::Party_2(s);
  }
  EXPECT_EQ(s.record.built.size(), 1u);
  EXPECT_TRUE(s.chain.Party_actif[scene::kOpeningStep]);
  s.clock.horloge = 7600.5f;
  scene::Party_2(s);
  EXPECT_EQ(s.record.built.back(), "Party_chargement_anim2");
  EXPECT_FALSE(s.chain.Party_actif[scene::kOpeningStep]);
  EXPECT_TRUE(s.chain.Party_actif[scene::kForestFlightStep]);
  EXPECT_EQ(s.scene_frame.get(1), nullptr);
  // The rest of the tick sees the forest's clock: the forest keeps its
  // normal contrast rather than the opening's closing one.
  render::GammaRamp g;
  f.DXDraw.get_gamma(g);
  EXPECT_EQ(g, controls::contrast_ramp(24, 145));
  scene::Party_3(s);
  EXPECT_EQ(s.record.built.size(), 2u);
}

}  // namespace
}  // namespace quarvel

namespace quarvel {
namespace {

// A user's ship model with most named parts missing and a part whose first
// visual is not a mesh: the empty slots are skipped, every tick.
constexpr const char* kSparseShips = R"(xof 0302txt 0032
Frame x3ds_x5_Vaissea0 {
 Frame x3ds_x4_Vaissea0 {
  Mesh {
   3;
   0.0;0.0;0.0;,
   10.0;0.0;0.0;,
   0.0;10.0;0.0;;
   1;
   3;0,1,2;;
  }
 }
}
Frame x3ds_VaisseauT1 {
}
)";

TEST(OpeningUserModel, MissingPartsAndPartsWithoutMeshAreSkipped) {
  testing::TempDir dir;
  testing::write_text_file(dir.file("00000000.dat"), kSparseShips);
  testing::ShowFixture f;
  scene::Show& s = f.show;
  testing::CurrentDir here(dir.path());
  s.exe_dir = dir.path().string() + "/";
  s.opening.anim_x_actif = s.controls.cam_auto = s.view.cam_suivi = s.view.cam_vise = true;
  s.view.focale = 9;
  scene::Party_1(s);

  EXPECT_NE(s.opening.vaisseau_frame.get(1), nullptr);
  EXPECT_EQ(s.opening.vaisseau_mesh_b, nullptr);  // its first visual is no mesh
  ASSERT_NE(s.opening.vaisseau_frame.get(2), nullptr);
  EXPECT_NE(s.opening.vaisseau_mesh_c, nullptr);
  EXPECT_NE(s.opening.vaisseau_frame.get(3), nullptr);
  EXPECT_EQ(s.opening.vaisseau_mesh.get(1), nullptr);
  EXPECT_EQ(s.opening.vaisseau_frame.get(0), nullptr);
  EXPECT_EQ(s.opening.truck_frame.get(0), nullptr);
  EXPECT_EQ(s.view.cam_path, nullptr);  // no camera file

  for (float t = 0; t < 7650; t += 25) {
    s.clock.horloge = t;
    scene::Party_2(s);
  }
  EXPECT_EQ(s.record.built.back(), "Party_chargement_anim2");
  EXPECT_EQ(s.opening.vaisseau_mesh_c->quality(), 137u);
}

}  // namespace
}  // namespace quarvel
