// The explosion: its builder's keys and paths, the step's field, viewport
// effects and beat flash with its contrast ramp.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "controls/effects.h"
#include "scenes/explosion_effects.h"
#include "scenes/steps.h"
#include "show_fixture.h"

namespace quarvel {
namespace {

using testing::CurrentDir;
using testing::TempDir;

render::GammaRamp ramp_of(const scene::Show& s) {
  render::GammaRamp r;
  s.DXDraw.get_gamma(r);
  return r;
}

// ---- The viewport effects' arithmetic

TEST(ExplosionEffects, AngleAdvancesWithTruncatingDivAndMod) {
  EXPECT_EQ(scene::advance_angle_vue(0), 1);
  EXPECT_EQ(scene::advance_angle_vue(639), 9);  // 639 + 9 = 648, mod 640 = 8, + 1
  EXPECT_EQ(scene::advance_angle_vue(63), 64);
  EXPECT_EQ(scene::advance_angle_vue(64), 66);
  // A negative angle keeps the dividend's sign: (-70 + -1) mod 640 + 1.
  EXPECT_EQ(scene::advance_angle_vue(-70), -70);
  for (int a = 1; a <= 640; ++a) {
    const int next = scene::advance_angle_vue(a);
    EXPECT_GE(next, 1);
    EXPECT_LE(next, 640);
  }
}

TEST(ExplosionEffects, TurningWindowFromTheAngle) {
  const rm::Rect first = scene::turning_window(1);  // b = 100, s = Round(0.1745) = 0
  EXPECT_EQ(first.x, 450);
  EXPECT_EQ(first.y, 240);
  EXPECT_EQ(first.width, 200);
  EXPECT_EQ(first.height, 0);
  const rm::Rect quarter = scene::turning_window(900);  // b = 0, s = 100
  EXPECT_EQ(quarter.x, 500);
  EXPECT_EQ(quarter.y, 190);
  EXPECT_EQ(quarter.width, 0);
  EXPECT_EQ(quarter.height, 100);
  // 150 degrees: b = Round(-86.6) = -87, -87 div 2 = -43 (toward zero).
  const rm::Rect turned = scene::turning_window(1500);
  EXPECT_EQ(turned.x, 543);
  EXPECT_EQ(turned.width, -174);
  EXPECT_EQ(turned.y, 240 - 25);
  EXPECT_EQ(turned.height, 50);
}

TEST(ExplosionEffects, GrowingWindowIsFourByThreeAroundTheCentre) {
  const rm::Rect r = scene::growing_window(101);  // h = 50
  EXPECT_EQ(r.x, 270);
  EXPECT_EQ(r.y, 202);  // Round(202.5) to even
  EXPECT_EQ(r.width, 101);
  EXPECT_EQ(r.height, 76);  // Round(75.75)
  const rm::Rect full = scene::growing_window(640);
  EXPECT_EQ(full.x, 0);
  EXPECT_EQ(full.y, 0);
  EXPECT_EQ(full.width, 640);
  EXPECT_EQ(full.height, 480);
}

TEST(ExplosionEffects, BeatIsALeftLevelAbove101) {
  EXPECT_FALSE(scene::is_beat(101));
  EXPECT_TRUE(scene::is_beat(102));
  EXPECT_FALSE(scene::is_beat(0xFFFF0000u | 101u));  // the right channel does not count
  EXPECT_TRUE(scene::is_beat(0x0000FFFFu));
}

// ---- Builder and step

class Explosion : public testing::ShowTest {
 protected:
  explicit Explosion(quarvel::testing::Pixels pixels = quarvel::testing::Pixels::Recorded) : ShowTest(pixels) {}
  void SetUp() override {
    s.clock.Temps[4] = 1480;
    s.clock.flux_musique = 1;
  }
  void build() {
    CurrentDir here(dir_.path());
    ::testing::internal::CaptureStderr();
    scene::Party_chargement_anim3(s);
    ::testing::internal::GetCapturedStderr();
  }
  void tick(float clock, uint32_t level = 0) {
    s.clock.horloge = clock;
    f.music.level_value = level;
    CurrentDir here(dir_.path());
    ::testing::internal::CaptureStderr();
    scene::Party_4(s);
    ::testing::internal::GetCapturedStderr();
  }
  TempDir dir_;
};

TEST_F(Explosion, KeysComeFromTheSharedSequenceWithGatheringPasses) {
  s.random(5);
  scene::Random expected = s.rng;
  build();
  int gathers = 0;
  int32_t t = 0;
  std::vector<float> times;
  for (int pass = 0; pass < 51; ++pass) {
    t += expected.random(100) + 1;
    times.push_back(static_cast<float>(t));
    const bool gather = expected.random(3) == 0;
    gathers += gather;
    if (!gather) {
      for (int i = 0; i < 21; ++i) {
        for (int d = 0; d < 3; ++d) expected.random(1500);
        for (int d = 0; d < 3; ++d) expected.random(10);
      }
    }
  }
  EXPECT_EQ(s.rng.seed, expected.seed);
  EXPECT_EQ(s.rng.draws, expected.draws);
  EXPECT_GT(gathers, 0);
  EXPECT_LE(times.back(), 5100.0f);
  for (int i = 0; i < 21; ++i) {
    auto a = s.explosion.explo_anim.get(i);
    ASSERT_TRUE(a) << i;
    EXPECT_EQ(a->position_key_count(), 51u);
    EXPECT_EQ(a->scale_key_count(), 51u);
    EXPECT_EQ(a->options(), 0x3Au);
    EXPECT_EQ(a->frame(), s.objet_frame.get(30 + i));
  }
}

TEST_F(Explosion, GatheringKeysAreTheSameForAll) {
  scene::Random expected = s.rng;
  build();
  int32_t t = 0;
  for (int pass = 0; pass < 51; ++pass) {
    t += expected.random(100) + 1;
    const bool gather = expected.random(3) == 0;
    for (int i = 0; i < 21; ++i) {
      rm::Vec3 p, sc;
      ASSERT_TRUE(s.explosion.explo_anim.get(i)->position_at(static_cast<float>(t), p));
      ASSERT_TRUE(s.explosion.explo_anim.get(i)->scale_at(static_cast<float>(t), sc));
      if (gather) {
        testing::expect_near(p, {0, 0, 0});
        testing::expect_near(sc, {5, 5, 5});
        continue;
      }
      const float z = static_cast<float>(expected.random(1500) - 750);
      const float y = static_cast<float>(expected.random(1500) - 750);
      const float x = static_cast<float>(expected.random(1500) - 750);
      testing::expect_near(p, {x, y, z});
      const float sz = static_cast<float>(expected.random(10));
      const float sy = static_cast<float>(expected.random(10));
      const float sx = static_cast<float>(expected.random(10));
      testing::expect_near(sc, {sx, sy, sz});
    }
  }
}

TEST_F(Explosion, BuilderSetsItsStepPathsAndContrast) {
  s.chain.Party_actif[scene::kModelSceneStep] = true;
  s.scene_frame[4] = s.stage.root.create_frame(s.stage.scene);
  build();
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim3"});
  EXPECT_EQ(s.chain.Party_actif, scene::StepFlags::only(scene::kExplosionStep));
  EXPECT_EQ(s.clock.horloge, 0.0f);
  ASSERT_TRUE(s.scene_frame.get(3));
  bool visual = false;
  for (const auto& v : s.stage.scene->visuals()) visual = visual || v == s.scene_frame.get(3);
  EXPECT_TRUE(visual);
  ASSERT_TRUE(s.view.cam_anim);
  EXPECT_EQ(s.view.cam_anim->position_key_count(), 27u);
  EXPECT_EQ(s.view.cam_anim->options(), 0x2Au);
  EXPECT_EQ(s.view.cam_anim->frame(), s.stage.camera);
  ASSERT_TRUE(s.explosion.focale_anim);
  EXPECT_EQ(s.explosion.focale_anim->position_key_count(), 23u);
  EXPECT_EQ(s.explosion.focale_anim->frame(), s.explosion.focale_frame);
  // The last two camera keys come from the time table.
  rm::Vec3 p;
  ASSERT_TRUE(s.view.cam_anim->position_at(980, p));
  testing::expect_near(p, {0, 150, 0});
  // The closed path wraps at its last key, 1480: just before it, (0, 250, 0).
  ASSERT_TRUE(s.view.cam_anim->position_at(1479.999f, p));
  testing::expect_near(p, {0, 250, 0}, 0.5f);
  ASSERT_TRUE(s.objet_frame.get(10));
  const render::GammaRamp want = controls::contrast_ramp(24, 145);
  EXPECT_EQ(ramp_of(s).red, want.red);
}

TEST_F(Explosion, FieldFollowsTheFieldFrameAtAQuarterOfTheClock) {
  build();
  tick(4 * 49);  // the key (49, 120): field 6
  EXPECT_FLOAT_EQ(s.stage.viewport->field(), 6.0f);
  EXPECT_FALSE(s.stage.viewport->uniform_scaling());
}

// The flash reads the picture.
class DrawnExplosion : public Explosion {
 protected:
  DrawnExplosion() : Explosion(quarvel::testing::Pixels::Drawn) {}
};

TEST_F(DrawnExplosion, FlashRampsInTwentyOneTicksAndSettles) {
  build();
  s.explosion.flash_fini = true;
  const int flips = s.DXDraw.flips();
  tick(1, 101);  // not loud enough
  EXPECT_EQ(s.DXDraw.flips(), flips);
  EXPECT_EQ(ramp_of(s).red, controls::contrast_ramp(24, 145).red);

  tick(2, 102);  // a beat: white picture flipped at once
  EXPECT_EQ(s.DXDraw.flips(), flips + 1);
  EXPECT_EQ(s.explosion.flash_n, 12);
  EXPECT_FALSE(s.explosion.flash_fini);
  EXPECT_EQ(ramp_of(s).red, controls::contrast_ramp(0, 12).red);
  const Picture back = std::as_const(s.DXDraw).surface();
  EXPECT_EQ(back.at(0, 0) & 0xFFFFFFu, 0xFFFFFFu);
  for (int n = 2; n <= 21; ++n) {
    tick(static_cast<float>(2 + n), 0);
    EXPECT_EQ(s.explosion.flash_n, 12 * n);
    EXPECT_EQ(ramp_of(s).red, controls::contrast_ramp(0, static_cast<uint8_t>(12 * n)).red) << n;
    EXPECT_EQ(s.explosion.flash_fini, n == 21) << n;
  }
  tick(30, 0);
  EXPECT_EQ(ramp_of(s).red, controls::contrast_ramp(24, 145).red);
  EXPECT_EQ(s.DXDraw.flips(), flips + 1);
}

TEST_F(Explosion, RampFrom240EndsOnThatTick) {
  build();
  s.explosion.flash_fini = false;
  s.explosion.flash_n = 240;
  tick(3);
  EXPECT_EQ(s.explosion.flash_n, 252);
  EXPECT_TRUE(s.explosion.flash_fini);
  EXPECT_EQ(ramp_of(s).red, controls::contrast_ramp(0, 252).red);
}

TEST_F(Explosion, TurningWindowOfZeroHeightIsRefusedAndTheTickGoesOn) {
  build();
  s.explosion.effet[0] = true;
  s.explosion.angle_vue = 0;
  s.stage.viewport->configure(0, 0, 640, 480);
  tick(4);
  EXPECT_EQ(s.explosion.angle_vue, 1);
  const rm::Rect r = s.stage.viewport->rect();
  EXPECT_EQ(r.width, 640);  // 200 x 0 refused
  EXPECT_EQ(r.height, 480);
  EXPECT_FALSE(s.stage.viewport->uniform_scaling());  // the last call ran
}

TEST_F(Explosion, BothWindowsAdvanceTheAngleTwiceAndTheGrowingOneWins) {
  build();
  s.explosion.effet[0] = true;
  s.explosion.effet[1] = true;
  s.explosion.angle_vue = 300;
  tick(4);
  const int once = scene::advance_angle_vue(300);
  EXPECT_EQ(s.explosion.angle_vue, scene::advance_angle_vue(once));
  const rm::Rect want = scene::growing_window(s.explosion.angle_vue);
  const rm::Rect r = s.stage.viewport->rect();
  EXPECT_EQ(r.x, want.x);
  EXPECT_EQ(r.y, want.y);
  EXPECT_EQ(r.width, want.width);
  EXPECT_EQ(r.height, want.height);
}

TEST_F(Explosion, ShakeDrawsTwoValuesOnlyWhenArmed) {
  build();
  s.explosion.flash_fini = true;
  uint32_t before = s.rng.draws;
  tick(4);
  EXPECT_EQ(s.rng.draws, before);
  s.explosion.effet[2] = true;
  before = s.rng.draws;
  tick(5);
  EXPECT_EQ(s.rng.draws, before + 2);
}

TEST_F(Explosion, HandsOverToTheFinaleAboveItsEnd) {
  build();
  tick(1480);
  EXPECT_EQ(s.record.built.back(), "Party_chargement_anim3");
  tick(1480.5f);
  EXPECT_EQ(s.record.built.back(), "Party_chargement_anim6");
  EXPECT_TRUE(s.chain.Party_actif[scene::kFinaleStep]);
  EXPECT_FALSE(s.chain.Party_actif[scene::kExplosionStep]);
}

}  // namespace
}  // namespace quarvel
