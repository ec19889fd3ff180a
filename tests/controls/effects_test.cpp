// The screen effects: contrast, green-negative and darkened ramps, the blinking light,
// the opening letterbox band and the field widening.
#include "controls/effects.h"

#include <gtest/gtest.h>

#include <cmath>

#include "scene/primitives.h"
#include "show_fixture.h"

namespace quarvel::controls {
namespace {

TEST(ContrastRamp, WindowFromLowToHigh) {
  const render::GammaRamp r = contrast_ramp(24, 145);
  for (int i = 0; i <= 24; ++i) EXPECT_EQ(r.red[i], 0) << i;
  EXPECT_EQ(r.red[25], 537);  // Round(255 / 121 * 255)
  EXPECT_EQ(r.red[145], 65025);
  for (int i = 146; i <= 255; ++i) EXPECT_EQ(r.red[i], 65535) << i;
  for (int i = 25; i < 145; ++i) EXPECT_LT(r.red[i], r.red[i + 1]) << i;
  EXPECT_EQ(r.green, r.red);
  EXPECT_EQ(r.blue, r.red);
}

TEST(ContrastRamp, FromZero) {
  const render::GammaRamp r = contrast_ramp(0, 12);
  EXPECT_EQ(r.red[0], 0);
  EXPECT_EQ(r.red[1], 5419);  // 5418.75
  EXPECT_EQ(r.red[12], 65025);
  for (int i = 13; i <= 255; ++i) EXPECT_EQ(r.red[i], 65535) << i;
}

TEST(ContrastRamp, HighBelowLowIsAHardThreshold) {
  const render::GammaRamp r = contrast_ramp(200, 55);
  for (int i = 0; i <= 54; ++i) EXPECT_EQ(r.red[i], 0) << i;
  for (int i = 55; i <= 255; ++i) EXPECT_EQ(r.red[i], 65535) << i;
  EXPECT_EQ(r.blue, r.red);
}

TEST(ContrastRamp, EqualEndsGiveAStepWithoutDividingByZero) {
  const render::GammaRamp r = contrast_ramp(100, 100);
  EXPECT_EQ(r.red[99], 0);
  EXPECT_EQ(r.red[100], 0);
  EXPECT_EQ(r.red[101], 65535);
}

TEST(GreenNegativeRamp, FallsFromLowToHigh) {
  const render::GammaRamp r = green_negative_ramp(0, 50);
  EXPECT_EQ(r.green[0], 65280);
  EXPECT_EQ(r.green[25], 32640);
  EXPECT_EQ(r.green[50], 0);
  for (int i = 51; i <= 255; ++i) EXPECT_EQ(r.green[i], 0) << i;
  for (int i = 0; i < 50; ++i) EXPECT_GT(r.green[i], r.green[i + 1]) << i;
  for (int i = 0; i <= 255; ++i) {
    EXPECT_EQ(r.red[i], 0) << i;
    EXPECT_EQ(r.blue[i], 0) << i;
  }
}

TEST(GreenNegativeRamp, BelowLowIsFullGreen) {
  const render::GammaRamp r = green_negative_ramp(10, 52);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(r.green[i], 65535) << i;
  EXPECT_EQ(r.green[10], 65280);
  EXPECT_EQ(r.green[52], 0);
}

TEST(DarkenedRamp, LowersEveryEntryAndStopsAtZero) {
  const render::GammaRamp saved = render::GammaRamp::identity();
  EXPECT_EQ(darkened_ramp(saved, 0), saved);
  struct Row {
    int64_t step;
    size_t entry;
    uint16_t want;
  };
  for (const Row& row : {Row{64800, 255, 65535 - 64800}, Row{65600, 255, 0}, Row{32000, 124, 0}}) {
    const render::GammaRamp r = darkened_ramp(saved, row.step);
    EXPECT_EQ(r.red[row.entry], row.want) << row.step;
    EXPECT_EQ(r.green, r.red) << row.step;
    EXPECT_EQ(r.blue, r.red) << row.step;
  }
}

class Effects : public testing::ShowTest {};

TEST_F(Effects, ContrastEffectsSetTheDisplaysRamp) {
  Contraste(s, 24, 145);
  render::GammaRamp got;
  f.DXDraw.get_gamma(got);
  EXPECT_EQ(got, contrast_ramp(24, 145));
  Contraste2(s, 0, 50);
  f.DXDraw.get_gamma(got);
  EXPECT_EQ(got, green_negative_ramp(0, 50));
}

TEST_F(Effects, ClignoteTurnsLightZerosColourSeventyDegreesAStep) {
  scene::add_Light(s, 0, 3, 10000, 10000, 0, 1, 1, 1);
  clignote(s);
  EXPECT_EQ(s.lights.angle_clignote, 70);
  const scene::Vec3 c1 = s.lights.light_tab[0]->color();
  EXPECT_NEAR(c1.x, 0.9210, 1e-4);
  EXPECT_NEAR(c1.y, 0.1645, 1e-4);
  EXPECT_NEAR(c1.z, 0.3355, 1e-4);
  clignote(s);  // 140 degrees: c = -0.7660
  EXPECT_EQ(s.lights.angle_clignote, 140);
  const scene::Vec3 c2 = s.lights.light_tab[0]->color();
  EXPECT_NEAR(c2.x, 0.75 + 0.5 * std::cos(140 * M_PI / 180), 1e-5);
  EXPECT_NEAR(c2.y, 0.25 - 0.25 * std::cos(140 * M_PI / 180), 1e-5);
  // Red is passed unclamped at c = 1.
  s.lights.angle_clignote = 290;
  clignote(s);
  EXPECT_NEAR(s.lights.light_tab[0]->color().x, 1.25, 1e-5);
}

TEST_F(Effects, ClignoteWithoutALightOnlyTurns) {
  clignote(s);
  EXPECT_EQ(s.lights.angle_clignote, 70);
}

TEST_F(Effects, LetterboxBandOpensFromTheMiddle) {
  s.layers.ecran16_actif = true;
  ecran16(s);
  EXPECT_EQ(s.layers.ecran16_n, 1);
  rm::Rect r = f.stage.viewport->rect();
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 230);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 20);
  EXPECT_TRUE(s.layers.ecran16_actif);
  for (int i = 2; i <= 17; ++i) ecran16(s);
  EXPECT_TRUE(s.layers.ecran16_actif);
  ASSERT_EQ(s.layers.ecran16_n, 17);
  ecran16(s);
  r = f.stage.viewport->rect();
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 60);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 360);
  EXPECT_FALSE(s.layers.ecran16_actif);
}

TEST_F(Effects, FocaleVisuWidensByOne) {
  s.view.focale = 9;
  Focale_visu(s);
  EXPECT_EQ(s.view.focale, 10);
}

}  // namespace
}  // namespace quarvel::controls
