#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/render/back_surface.h"
#include "platform/render/gl_frames.h"
#include "platform/display/egl_context.h"
#include "platform/render/presenter.h"
#include "platform/retained/stage.h"

using namespace quarvel;
using namespace quarvel::display;

namespace {

// A picture of distinct colours with its corners in the transparent colour.
Picture pattern(int w, int h, uint32_t key_argb, uint32_t seed) {
  Picture p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.at(x, y) = 0xFF000000u | ((x * 37 + seed) & 0xFF) << 16 | ((y * 91) & 0xFF) << 8 | ((x ^ y) & 0xFF);
  p.at(0, 0) = p.at(w - 1, 0) = p.at(0, h - 1) = p.at(w - 1, h - 1) = key_argb;
  return p;
}

}  // namespace

// Every 2D call, drawn on the GPU, gives the pixels the memory version gives,
// with copies and rows written from memory (the desktop's way) or drawn (the
// page's).
TEST(GpuBackSurface, MatchesTheMemorySurfaceBitForBit) {
  for (const auto writes : {render::BackSurface::Writes::FromMemory, render::BackSurface::Writes::Drawn}) {
    SCOPED_TRACE(writes == render::BackSurface::Writes::Drawn ? "drawn" : "from memory");
    rm::Stage stage;
    DisplayControl d(make_headless_backend(), stage);
    d.full_screen = false;
    d.initialize();
    auto* frames = dynamic_cast<render::GlFrames*>(d.frames());
    ASSERT_NE(frames, nullptr);
    frames->surface().set_writes(writes);
    ImageList list;
    list.add(pattern(16, 12, 0xFF0000FFu, 1), 0xFF0000, true);   // key: blue (0x00BBGGRR)
    list.add(pattern(33, 7, 0xFF00FF00u, 2), 0x00FF00, false);   // not keyed
    list.add(pattern(1, 1, 0xFFFFFFFFu, 3), 0xFFFFFF, true);     // all keyed
    Picture holes = pattern(40, 30, 0xFF0000FFu, 4);           // keyed in runs and holes of every shape
    for (int y = 0; y < holes.height; ++y)
      for (int x = 0; x < holes.width; ++x)
        if ((x / 3 + y / 4) % 3 == 0 || (x * y) % 7 == 1) holes.at(x, y) = 0xFF0000FFu;
    list.add(holes, 0xFF0000, true);
    d.image_list = &list;
    render::GammaRamp ramp = render::GammaRamp::identity();
    for (auto& v : ramp.blue) v = static_cast<uint16_t>(v / 3);
    d.set_gamma(ramp);
    Picture cpu(640, 480);
    d.fill(0x1234);
    render::fill(cpu, 0x1234);

    // Fills one after another in one frame: where they overlap, the last
    // one asked for shows.
    const std::pair<render::Rect, uint32_t> run[] = {
        {{10, 10, 100, 50}, 0xF800}, {{60, 30, 100, 50}, 0x07E0}, {{-20, 40, 90, 20}, 0xF800}, {{0, 0, 0, 9}, 0x1F}};
    for (const auto& [rect, raw] : run) {
      d.fill_rect(rect.x, rect.y, rect.w, rect.h, raw);
      render::fill_rect(cpu, rect, raw);
    }
    std::mt19937 rng(7);
    auto r = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int opacities[] = {-5, 0, 1, 77, 128, 254, 255, 300};
    for (int step = 0; step < 80; ++step) {
      const int kind = r(0, 5);
      if (kind == 0) {
        const int x = r(-50, 650), y = r(-50, 500), w = r(-5, 200), h = r(-5, 200);
        const uint32_t raw = static_cast<uint32_t>(r(0, 0x7FFFFFFF));
        d.fill_rect(x, y, w, h, raw);
        render::fill_rect(cpu, {x, y, w, h}, raw);
      } else if (kind == 1) {
        const int i = r(0, 3), x = r(-40, 640), y = r(-30, 480);
        d.draw(i, x, y);
        const ImageItem& it = *static_cast<const ImageList&>(list).item(i);
        render::copy_picture(cpu, it.picture, x, y, it.transparent, render::bgr_to_argb(it.transparent_colour));
      } else if (kind == 2) {
        const int i = r(0, 3), op = opacities[r(0, 7)];
        const render::Rect rect{r(-100, 600), r(-100, 450), r(-3, 400), r(-3, 300)};
        d.draw_alpha(rect, i, op);
        const ImageItem& it = *static_cast<const ImageList&>(list).item(i);
        render::blend_stretched(cpu, it.picture, rect, op, it.transparent, render::bgr_to_argb(it.transparent_colour));
      } else if (kind == 3) {
        d.canvas().set_font_colour(static_cast<uint32_t>(r(0, 0xFFFFFF)));
        d.canvas().set_font_size(r(6, 20));
        d.canvas().set_brush_clear(r(0, 1) == 0);
        const int x = r(-30, 620), y = r(-10, 470);
        d.text_out(x, y, "Intensit\xE9 light : 42");
        d.canvas().text_out(cpu, x, y, "Intensit\xE9 light : 42");
      } else if (kind == 5) {
        // Every step-th row of a rectangle, as one-row fills on the CPU.
        const int x = r(-50, 650), y = r(-50, 500), w = r(-5, 700), h = r(-5, 500), step = r(1, 4);
        const uint32_t raw = static_cast<uint32_t>(r(0, 0xFFFF));
        d.fill_rows(x, y, w, h, step, raw);
        for (int row = y; row < y + h; row += step) render::fill_rect(cpu, {x, row, w, 1}, raw);
      } else {
        // Presenting (through a ramp) between draws changes nothing drawn.
        d.flip();
      }
    }
    const Picture gpu = d.read_surface();
    ASSERT_EQ(gpu.width, 640);
    int differing = 0;
    for (size_t i = 0; i < cpu.pixels.size(); ++i) differing += gpu.pixels[i] != cpu.pixels[i];
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(d.surface().pixels, gpu.pixels);
  }
}

// A keyed picture is written as rectangles of its opaque pixels: each such
// pixel in exactly one, runs with the same ends on neighbouring rows as one.
TEST(OpaqueRuns, CoverEachOpaquePixelOnce) {
  struct Case {
    const char* rows;  // '#' opaque, '.' keyed, rows of `width` characters
    int width;
    size_t rects;
  };
  const Case cases[] = {
      {"", 0, 0},
      {"....", 4, 0},
      {"####"
       "####",
       4, 1},
      {"#..#"
       "#..#"
       "####",
       4, 3},
      {".##."
       "####"
       ".##.",
       4, 3},
      {"#.#."
       ".#.#",
       4, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rows);
    const int n = static_cast<int>(std::string(c.rows).size()), h = c.width ? n / c.width : 0;
    Picture p(c.width, h, 0xFF123456u);
    for (int i = 0; i < n; ++i)
      if (c.rows[i] == '.') p.pixels[i] = 0xFF00FF00u;
    const std::vector<render::Rect> rects = render::opaque_runs(p, 0x0000FF00u);  // alpha not compared
    EXPECT_EQ(rects.size(), c.rects);
    std::vector<int> covered(n, 0);
    for (const render::Rect& r : rects)
      for (int y = r.y; y < r.y + r.h; ++y)
        for (int x = r.x; x < r.x + r.w; ++x) ++covered[y * c.width + x];
    for (int i = 0; i < n; ++i) EXPECT_EQ(covered[i], c.rows[i] == '#' ? 1 : 0) << "pixel " << i;
  }
}

TEST(GpuBackSurface, PicturesChangedThroughTheListAreDrawnAnew) {
  rm::Stage stage;
  DisplayControl d(make_headless_backend(), stage);
  d.initialize();
  ImageList list;
  list.add(Picture(4, 4, 0xFF00FF00u), 0, true);
  d.image_list = &list;
  for (int i = 0; i < 5; ++i) d.draw(0, 10 * i, 0);
  EXPECT_EQ(d.read_surface().at(41, 1), 0xFF00FF00u);
  // Written through the list: drawn with its new pixels.
  list.item(0)->picture.at(1, 1) = 0xFFFF0000u;
  d.draw(0, 100, 100);
  EXPECT_EQ(d.read_surface().at(101, 101), 0xFFFF0000u);
  EXPECT_EQ(d.read_surface().at(102, 102), 0xFF00FF00u);
}

TEST(GpuBackSurface, SurvivesFinaliseAndInitialise) {
  rm::Stage stage;
  DisplayControl d(make_headless_backend(), stage);
  d.fill_rect(0, 0, 10, 10, 0xF800);  // not initialised: draws nothing
  EXPECT_EQ(d.read_surface().at(5, 5), 0xFF000000u);
  d.initialize();
  d.fill_rect(20, 20, 10, 10, 0x07E0);
  d.finalize();
  EXPECT_EQ(d.read_surface().at(25, 25), 0xFF00FF00u);  // the copy kept at finalise
  d.fill_rect(0, 0, 10, 10, 0xF800);                    // finalised: draws nothing
  d.initialize();
  const Picture p = d.read_surface();
  EXPECT_EQ(p.at(5, 5), 0xFF000000u);
  EXPECT_EQ(p.at(25, 25), 0xFF00FF00u);
  EXPECT_EQ(p.at(50, 50), 0xFF000000u);
}

TEST(GpuBackSurface, ScrollShiftsTheNextPresentedPictureOnly) {
  rm::Stage stage;
  DisplayControl d(make_headless_backend(), stage);
  d.initialize();
  d.fill(0xFFFF);
  d.fill_rect(100, 100, 10, 10, 0xF800);
  d.scroll_next_present(5, -3);
  d.flip();
  Picture shot = d.screenshot();
  EXPECT_EQ(shot.at(105, 97), 0xFFFF0000u);    // the square moved right and up
  EXPECT_EQ(shot.at(104, 97), 0xFFFFFFFFu);
  EXPECT_EQ(shot.at(114, 106), 0xFFFF0000u);
  EXPECT_EQ(shot.at(115, 106), 0xFFFFFFFFu);
  EXPECT_EQ(shot.at(2, 200), 0xFF000000u);     // uncovered on the left: black
  EXPECT_EQ(shot.at(300, 478), 0xFF000000u);   // and at the bottom
  EXPECT_EQ(shot.at(300, 476), 0xFFFFFFFFu);
  EXPECT_EQ(shot.at(639, 0), 0xFFFFFFFFu);
  // The back surface did not move, and the next flip is not shifted.
  EXPECT_EQ(d.read_surface().at(100, 100), 0xFFFF0000u);
  d.flip();
  shot = d.screenshot();
  EXPECT_EQ(shot.at(100, 100), 0xFFFF0000u);
  EXPECT_EQ(shot.at(2, 200), 0xFFFFFFFFu);
  // A scroll past the edge shows only black.
  d.scroll_next_present(-700, 0);
  d.flip();
  EXPECT_EQ(d.screenshot().at(320, 240), 0xFF000000u);
}

TEST(GpuPresenter, AnIdentityRampSkipsTheLookUp) {
  EglHeadlessContext ctx;
  render::Presenter presenter;
  Picture back(640, 480, 0xFF204080u);
  presenter.present(back, render::GammaRamp::identity());
  EXPECT_TRUE(presenter.identity());
  // Levels that round to the same 8-bit values still change nothing.
  render::GammaRamp near = render::GammaRamp::identity();
  for (auto& v : near.red) v = static_cast<uint16_t>(std::min(65535, v + 100));
  presenter.present(back, near);
  EXPECT_TRUE(presenter.identity());
  EXPECT_EQ(presenter.read_presented().at(3, 3), 0xFF204080u);
  render::GammaRamp dark = render::GammaRamp::identity();
  for (auto& v : dark.green) v = static_cast<uint16_t>(v / 2);
  presenter.present(back, dark);
  EXPECT_FALSE(presenter.identity());
  EXPECT_EQ(presenter.read_presented().at(3, 3), 0xFF202080u);
}

TEST(GpuPresenter, TheWindowGetsThePictureThroughTheRampWithBlackBars) {
  EglHeadlessContext ctx;
  render::Presenter presenter;
  Picture back(640, 480, 0xFF204080u);
  back.at(0, 0) = 0xFFFFFFFFu;
  render::GammaRamp dark = render::GammaRamp::identity();
  for (auto& v : dark.green) v = static_cast<uint16_t>(v / 2);
  presenter.present(back, dark);
  // A window twice the picture's size plus bars above and below.
  const int w = 1280, h = 1000;
  GLuint tex = 0, fbo = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glGenFramebuffers(1, &fbo);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex, 0);
  glClearColor(1, 0, 0, 1);  // what was there before: the bars must be cleared
  glClear(GL_COLOR_BUFFER_BIT);
  presenter.blit_to(fbo, w, h);
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
  glReadPixels(0, 0, w, h, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, px.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &fbo);
  glDeleteTextures(1, &tex);
  auto at = [&](int x, int y) { return px[static_cast<size_t>(h - 1 - y) * w + x]; };  // y down
  EXPECT_EQ(at(640, 10), 0xFF000000u);    // bar above
  EXPECT_EQ(at(640, 990), 0xFF000000u);   // bar below
  EXPECT_EQ(at(0, 20), 0xFFFF7FFFu);      // the white corner pixel, green halved, as a 2 x 2 block
  EXPECT_EQ(at(1, 21), 0xFFFF7FFFu);
  EXPECT_EQ(at(2, 20), 0xFF202080u);
  EXPECT_EQ(at(640, 500), 0xFF202080u);
}
