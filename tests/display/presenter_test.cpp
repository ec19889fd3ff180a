#include <gtest/gtest.h>

#include "platform/display/egl_context.h"
#include "platform/render/gl_util.h"
#include "platform/render/look.h"
#include "platform/render/presenter.h"

using namespace quarvel;
using namespace quarvel::render;

TEST(Letterbox, LargestWholeMultipleCentredElseTheLargestFit) {
  Rect r = letterbox(1920, 1080);  // twice the picture, bars all round
  EXPECT_EQ(r.w, 1280);
  EXPECT_EQ(r.h, 960);
  EXPECT_EQ(r.x, 320);
  EXPECT_EQ(r.y, 60);
  r = letterbox(2000, 1500);
  EXPECT_EQ(r.w, 1920);
  EXPECT_EQ(r.h, 1440);
  EXPECT_EQ(r.x, 40);
  EXPECT_EQ(r.y, 30);
  r = letterbox(1279, 2000);  // not quite twice as wide: once
  EXPECT_EQ(r.w, 640);
  EXPECT_EQ(r.h, 480);
  EXPECT_EQ(r.x, 319);
  EXPECT_EQ(r.y, 760);
  r = letterbox(640, 480);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.w, 640);
  // Smaller than the picture: the largest 4:3 rectangle, filtered down.
  r = letterbox(600, 300);
  EXPECT_EQ(r.w, 400);
  EXPECT_EQ(r.h, 300);
  EXPECT_EQ(r.x, 100);
  EXPECT_EQ(r.y, 0);
  r = letterbox(320, 1000);
  EXPECT_EQ(r.w, 320);
  EXPECT_EQ(r.h, 240);
  EXPECT_EQ(r.y, 380);
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

namespace {

// Blits into a framebuffer of w x h and reads it back (row 0 at the bottom).
std::vector<uint32_t> blit_and_read(Presenter& presenter, int w, int h) {
  GLuint tex = 0, fbo = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
  presenter.blit_to(fbo, w, h);
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, px.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteTextures(1, &tex);
  return px;
}

}  // namespace

TEST(Presenter, ScalesIntoTheWindowWithBlackBars) {
  display::EglHeadlessContext ctx;
  Presenter presenter;
  Picture back(640, 480, 0xFF3060C0u);
  back.at(0, 0) = 0xFFFFFFFFu;  // top-left pixel
  presenter.present(back, GammaRamp::identity());

  // An exact multiple: every picture pixel becomes a crisp 2 x 2 block.
  {
    const int w = 1280, h = 960;
    auto px = blit_and_read(presenter, w, h);
    auto at = [&](int x, int y) { return px[static_cast<size_t>(h - 1 - y) * w + x]; };
    EXPECT_EQ(at(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(at(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(at(2, 0), 0xFF3060C0u);
    EXPECT_EQ(at(0, 2), 0xFF3060C0u);
  }
  // A wide screen: twice the picture, bars all round.
  {
    const int w = 1920, h = 1080;
    auto px = blit_and_read(presenter, w, h);
    auto at = [&](int x, int y) { return px[static_cast<size_t>(h - 1 - y) * w + x]; };
    EXPECT_EQ(at(100, 500), 0xFF000000u);
    EXPECT_EQ(at(1820, 500), 0xFF000000u);
    EXPECT_EQ(at(960, 30), 0xFF000000u);
    EXPECT_EQ(at(960, 540), 0xFF3060C0u);
    EXPECT_EQ(at(320, 60), 0xFFFFFFFFu);  // the corner pixel, 2 x 2, at the picture's corner
    EXPECT_EQ(at(321, 61), 0xFFFFFFFFu);
    EXPECT_EQ(at(322, 60), 0xFF3060C0u);
    EXPECT_EQ(at(319, 60), 0xFF000000u);
    EXPECT_EQ(at(320, 59), 0xFF000000u);
  }
  // A window smaller than the picture: filtered down, flat areas exact.
  {
    const int w = 400, h = 400;
    auto px = blit_and_read(presenter, w, h);
    auto at = [&](int x, int y) { return px[static_cast<size_t>(h - 1 - y) * w + x]; };
    EXPECT_EQ(at(200, 20), 0xFF000000u);  // bar above the 400 x 300 picture
    EXPECT_EQ(at(200, 200), 0xFF3060C0u);
  }
}

TEST(Presenter, LateReadsGiveThePresentedPicturesInOrder) {
  display::EglHeadlessContext ctx;
  Presenter presenter;
  EXPECT_EQ(presenter.reads_in_flight(), 0);
  EXPECT_FALSE(presenter.oldest_read_done());
  EXPECT_TRUE(presenter.finish_read().empty());  // none started
  std::vector<Picture> shown;
  GammaRamp ramp = GammaRamp::identity();
  for (int i = 0; i < Presenter::kReadBuffers; ++i) {
    Picture back(640, 480, 0xFF102030u + static_cast<uint32_t>(i) * 0x00101010u);
    back.at(i, 479 - i) = 0xFFFFFFFFu;  // rows must come back top first
    if (i == 1) ramp.red[0x10 + i * 0x10] = 0;  // the ramp is part of the picture read
    presenter.present(back, ramp);
    shown.push_back(presenter.read_presented());
    ASSERT_TRUE(presenter.start_read());
  }
  EXPECT_EQ(presenter.reads_in_flight(), Presenter::kReadBuffers);
  EXPECT_FALSE(presenter.start_read());  // every buffer is taken
  EXPECT_EQ(shown[1].at(5, 5), 0xFF003040u);
  for (int i = 0; i < Presenter::kReadBuffers; ++i) {
    const Picture late = presenter.finish_read();
    ASSERT_EQ(late.width, 640);
    ASSERT_EQ(late.height, 480);
    EXPECT_EQ(late.pixels, shown[static_cast<size_t>(i)].pixels) << "read " << i;
  }
  EXPECT_EQ(presenter.reads_in_flight(), 0);
  // A freed buffer takes the next read.
  presenter.present(Picture(640, 480, 0xFF0000FFu), GammaRamp::identity());
  ASSERT_TRUE(presenter.start_read());
  EXPECT_EQ(presenter.finish_read().at(639, 0), 0xFF0000FFu);
}

TEST(Look, NamesAndTheCycleCoverEveryLook) {
  for (Look l : kLooks) EXPECT_EQ(look_from_name(look_name(l)), l);
  EXPECT_FALSE(look_from_name("Sharp"));
  EXPECT_EQ(next_look(Look::Sharp), Look::Original);
  EXPECT_EQ(next_look(Look::Original), Look::Smooth);
  EXPECT_EQ(next_look(Look::Smooth), Look::Sharp);
}

TEST(Look, DitherKeepsTheDisplaysOwnLevelsAndAveragesTheOthers) {
  // Every 4 x 4 block takes each threshold once.
  std::vector<int> seen(16, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) ++seen[static_cast<size_t>(dither_threshold(x + 8, y + 4))];
  EXPECT_EQ(seen, std::vector<int>(16, 1));
  for (int bits : {5, 6}) {
    for (int c = 0; c < 256; ++c) {
      int sum = 0;
      bool level = false;
      for (int t = 0; t < 16; ++t) {
        const int out = dither_channel(c, bits, t);
        // Always one of the display's levels, widened as 5-6-5 colours are.
        const int v = out >> (8 - bits);
        ASSERT_EQ(out, (v << (8 - bits)) | (v >> (2 * bits - 8))) << c;
        level = level || out == c;
        sum += out;
      }
      if (level) {
        for (int t = 0; t < 16; ++t) ASSERT_EQ(dither_channel(c, bits, t), c) << "a level moved";
      } else {
        // A block of it averages to it, within a 32nd of the step between
        // the levels around it (9 or 5 apart at most).
        EXPECT_NEAR(sum / 16.0, c, (bits == 5 ? 9 : 5) / 32.0 + 1e-9) << c << " on " << bits;
      }
    }
  }
}

TEST(Presenter, OriginalLookIsTheDitherOnTheGpuToTheBitThenTheRamp) {
  display::EglHeadlessContext ctx;
  Presenter presenter;
  presenter.set_look(Look::Original);
  Picture back(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      back.at(x, y) = 0xFF000000u | ((x & 0xFF) << 16) | ((y & 0xFF) << 8) | ((x * 3 + y) & 0xFF);
  GammaRamp ramp = GammaRamp::identity();
  for (int i = 0; i < 256; ++i) ramp.green[i] = static_cast<uint16_t>(65535 - i * 257);
  presenter.present(back, ramp);
  const Picture out = presenter.read_presented();
  ASSERT_EQ(out.width, 640);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const uint32_t d = dither_565(back.at(x, y), x, y);
      const uint32_t want = (d & 0xFFFF00FFu) | ((255u - ((d >> 8) & 255u)) << 8);
      ASSERT_EQ(out.at(x, y), want) << x << "," << y;
    }
  // Without a ramp the pass leaves out the look-up, not the dither.
  presenter.present(back, GammaRamp::identity());
  const Picture plain = presenter.read_presented();
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) ASSERT_EQ(plain.at(x, y), dither_565(back.at(x, y), x, y)) << x << "," << y;
}

TEST(Presenter, SmoothLookTakesThe3DFromTheLargerPictureWhereMarked) {
  display::EglHeadlessContext ctx;
  Presenter presenter;
  // The 3D drawn twice as large: a pattern no scaled pixel could give.
  std::vector<uint32_t> scene(1280 * 960);
  for (int y = 0; y < 960; ++y)
    for (int x = 0; x < 1280; ++x) scene[static_cast<size_t>(y) * 1280 + x] = 0xFF000000u | ((x & 1) ? 0xFF0000u : 0x00FF00u);
  GLuint tex = make_texture(GL_RGBA8, 1280, 960, GL_BGRA, GL_UNSIGNED_BYTE, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1280, 960, GL_BGRA, GL_UNSIGNED_BYTE, scene.data());
  presenter.set_look(Look::Smooth, 2, tex);
  ASSERT_EQ(presenter.out_width(), 1280);
  // The left half is the 3D's (alpha 0), the right half 2D drawn over it.
  Picture back(640, 480, 0xFF2040C0u);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 320; ++x) back.at(x, y) = 0x00123456u;
  presenter.present(back, GammaRamp::identity());
  Picture out = presenter.read_presented();
  ASSERT_EQ(out.width, 1280);
  ASSERT_EQ(out.height, 960);
  EXPECT_EQ(out.at(100, 7), 0xFF00FF00u);
  EXPECT_EQ(out.at(101, 7), 0xFFFF0000u);
  EXPECT_EQ(out.at(700, 7), 0xFF2040C0u);
  EXPECT_EQ(out.at(701, 7), 0xFF2040C0u);
  // The window shows it in the same place as the sharp look's picture.
  auto px = blit_and_read(presenter, 1920, 1080);
  EXPECT_EQ(px[static_cast<size_t>(1080 - 1 - 60) * 1920 + 320], 0xFF00FF00u);
  EXPECT_EQ(px[static_cast<size_t>(1080 - 1 - 60) * 1920 + 319], 0xFF000000u);
  // Back to sharp: the picture's own size again.
  presenter.set_look(Look::Sharp);
  presenter.present(back, GammaRamp::identity());
  EXPECT_EQ(presenter.read_presented().width, 640);
  glDeleteTextures(1, &tex);
}

TEST(Presenter, CaptionShowsInTheWindowOnlyAndGoes) {
  display::EglHeadlessContext ctx;
  Presenter presenter;
  presenter.present(Picture(640, 480, 0xFF3060C0u), GammaRamp::identity());
  presenter.set_caption(Picture(10, 5, 0xFFFFFFFFu));
  EXPECT_EQ(presenter.read_presented().at(0, 0), 0xFF3060C0u);
  auto px = blit_and_read(presenter, 1280, 960);
  EXPECT_EQ(px[static_cast<size_t>(959) * 1280], 0xFFFFFFFFu);       // top left
  EXPECT_EQ(px[static_cast<size_t>(959 - 9) * 1280 + 19], 0xFFFFFFFFu);  // scaled with the picture
  EXPECT_EQ(px[static_cast<size_t>(959 - 10) * 1280], 0xFF3060C0u);
  presenter.set_caption({});
  px = blit_and_read(presenter, 1280, 960);
  EXPECT_EQ(px[static_cast<size_t>(959) * 1280], 0xFF3060C0u);
}
