#include <gtest/gtest.h>

#include "platform/display/egl_context.h"
#include "platform/render/presenter.h"

using namespace quarvel;
using namespace quarvel::render;

TEST(Letterbox, LargestCentredFourByThreeRectangle) {
  Rect r = letterbox(1920, 1080);
  EXPECT_EQ(r.w, 1440);
  EXPECT_EQ(r.h, 1080);
  EXPECT_EQ(r.x, 240);
  EXPECT_EQ(r.y, 0);
  r = letterbox(640, 1000);
  EXPECT_EQ(r.w, 640);
  EXPECT_EQ(r.h, 480);
  EXPECT_EQ(r.y, 260);
  r = letterbox(640, 480);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.w, 640);
  r = letterbox(0, 480);
  EXPECT_EQ(r.w, 0);
}

TEST(Presenter, IdentityRampShowsTheBackSurfaceExactly) {
  display::EglHeadlessContext ctx;
  Presenter presenter;
  Picture back(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      back.at(x, y) = 0xFF000000u | ((x & 0xFF) << 16) | ((y & 0xFF) << 8) | ((x + y) & 0xFF);
  presenter.present(back, GammaRamp::identity());
  Picture out = presenter.read_presented();
  ASSERT_EQ(out.width, 640);
  ASSERT_EQ(out.height, 480);
  EXPECT_EQ(out.pixels, back.pixels);
}

TEST(Presenter, AppliesTheRampPerChannel) {
  display::EglHeadlessContext ctx;
  Presenter presenter;
  GammaRamp ramp;
  for (int i = 0; i < 256; ++i) {
    ramp.red[i] = static_cast<uint16_t>(65535 - i * 257);  // inverted
    ramp.green[i] = 0;                                      // off
    ramp.blue[i] = static_cast<uint16_t>(std::min(65535, i * 257 * 2));
  }
  Picture back(640, 480, 0xFF204080u);
  back.at(0, 0) = 0xFFFFFFFFu;
  presenter.present(back, ramp);
  Picture out = presenter.read_presented();
  EXPECT_EQ(out.at(1, 1), 0xFF000000u | ((255u - 0x20) << 16) | (0u << 8) | 255u);
  EXPECT_EQ(out.at(0, 0), 0xFF0000FFu);
  // Odd levels round to nearest on 8 bits.
  GammaRamp half = GammaRamp::identity();
  half.red[0x20] = 1000;  // 1000 * 255 / 65535 = 3.89 -> 4
  presenter.present(back, half);
  EXPECT_EQ(presenter.read_presented().at(5, 5), 0xFF044080u);
}
