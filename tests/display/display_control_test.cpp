#include <gtest/gtest.h>

#include "platform/display/display.h"
#include "platform/display/frame_grabber.h"
#include "platform/render/gl_util.h"
#include "platform/retained/stage.h"

using namespace quarvel;
using namespace quarvel::display;

namespace {

// What the display raised, and the stage it draws (declared before the
// display, so it outlives it).
struct Events {
  rm::Stage stage;
  int init = 0, surface = 0, fin = 0;
  std::string order;
};

// `drawn`: on headless GL, else on the recording back end (no pixels).
std::unique_ptr<DisplayControl> make_display(Events& ev, bool drawn = true) {
  auto d = std::make_unique<DisplayControl>(drawn ? make_headless_backend() : make_recording_backend(), ev.stage);
  d->on_initialize = [&ev] { ++ev.init; ev.order += "I"; };
  d->on_initialize_surface = [&ev] { ++ev.surface; ev.order += "S"; };
  d->on_finalize = [&ev] { ++ev.fin; ev.order += "F"; };
  return d;
}

}  // namespace

TEST(DisplayControl, InitialiseAndFinaliseAnyNumberOfTimesRaiseTheirEventsAndOpenTheStage) {
  Events ev;
  auto d = make_display(ev, false);
  EXPECT_FALSE(d->initialized());
  d->finalize();  // nothing to finalise: no event
  EXPECT_EQ(ev.fin, 0);
  for (int i = 0; i < 5; ++i) {
    d->initialize();
    ASSERT_TRUE(d->initialized());
    EXPECT_TRUE(ev.stage.is_open());
  }
  // Initialise on an initialised display finalises first.
  EXPECT_EQ(ev.order, "ISFISFISFISFIS");
  d->finalize();
  EXPECT_FALSE(d->initialized());
  EXPECT_FALSE(ev.stage.is_open());
  EXPECT_EQ(ev.fin, 5);
}

TEST(DisplayControl, FlipPresentsThroughTheRampWithoutClearingTheBackSurface) {
  Events ev;
  auto d = make_display(ev);
  d->flip();  // not initialised: nothing
  EXPECT_EQ(d->flips(), 0);
  EXPECT_TRUE(d->screenshot().empty());
  d->initialize();
  d->fill(0);
  d->fill_rect(10, 10, 20, 20, 0xFFFF);
  d->flip();
  d->flip();
  EXPECT_EQ(d->surface().at(15, 15), 0xFFFFFFFFu);  // still there after two flips
  Picture shot = d->screenshot();
  ASSERT_EQ(shot.width, 640);
  EXPECT_EQ(shot.at(15, 15), 0xFFFFFFFFu);
  EXPECT_EQ(shot.at(5, 5), 0xFF000000u);

  render::GammaRamp ramp;
  d->get_gamma(ramp);
  EXPECT_EQ(ramp, render::GammaRamp::identity());
  for (auto& v : ramp.green) v = 0;
  d->set_gamma(ramp);
  d->flip();
  EXPECT_EQ(d->screenshot().at(15, 15), 0xFFFF00FFu);
  EXPECT_EQ(d->surface().at(15, 15), 0xFFFFFFFFu);  // the ramp only affects what is shown
}

TEST(DisplayControl, AnOverlayIsPresentedButNeitherItNorItsCanvasSettingsStay) {
  Events ev;
  auto d = make_display(ev);
  d->initialize();
  d->fill(0);
  d->canvas().set_font_colour(0x123456);
  d->overlay = [&d] {
    d->fill_rect(100, 100, 10, 10, 0xFFFF);
    d->canvas().set_font_colour(0xFFFFFF);
  };
  d->flip();
  EXPECT_EQ(d->screenshot().at(105, 105), 0xFFFFFFFFu);
  EXPECT_EQ(d->surface().at(105, 105), 0xFF000000u);
  EXPECT_EQ(d->canvas().font_colour(), 0x123456u);
  d->overlay = nullptr;
  d->flip();
  EXPECT_EQ(d->screenshot().at(105, 105), 0xFF000000u);
}

TEST(FrameGrabber, QueuedScreenshotsAreTheImmediateOnesInOrderAndOutliveFinalise) {
  Events ev;
  auto d = make_display(ev);
  FrameGrabber g(*d);
  Picture got;
  EXPECT_FALSE(g.take_screenshot(got, true));  // none queued
  d->initialize();
  std::vector<Picture> expected, taken;
  g.queue_screenshot();  // before any flip: the empty picture, as screenshot() gives
  expected.push_back(d->screenshot());
  render::GammaRamp ramp = render::GammaRamp::identity();
  const int frames = 13;
  for (int frame = 0; frame < frames; ++frame) {
    // A different picture each frame: fill colour, a moving box, and from
    // frame 6 a ramp with no green.
    d->fill(static_cast<uint32_t>(0x0841 * frame + 0x1002));
    d->fill_rect(frame * 9, frame * 7, 30, 20, 0xF800);
    if (frame == 6) {
      for (auto& v : ramp.green) v = 0;
      d->set_gamma(ramp);
    }
    d->flip();
    g.queue_screenshot();
    expected.push_back(d->screenshot());
    // Taken now and then only, so that more are queued than the presenter
    // has buffers.
    if (frame % 5 == 4)
      while (g.take_screenshot(got, false)) taken.push_back(std::move(got));
  }
  EXPECT_EQ(static_cast<size_t>(g.pending_screenshots()) + taken.size(), expected.size());
  // The last two are still queued when the display goes.
  ASSERT_GE(g.pending_screenshots(), 3);  // frames 10 to 12 at least
  while (g.pending_screenshots() > 2) {
    ASSERT_TRUE(g.take_screenshot(got, true));
    taken.push_back(std::move(got));
  }
  d->finalize();
  EXPECT_EQ(g.pending_screenshots(), 2);
  while (g.take_screenshot(got, false)) taken.push_back(std::move(got));
  EXPECT_EQ(g.pending_screenshots(), 0);
  EXPECT_FALSE(g.take_screenshot(got, true));

  ASSERT_EQ(taken.size(), expected.size());
  EXPECT_TRUE(taken[0].empty());
  for (size_t i = 1; i < taken.size(); ++i) {
    ASSERT_EQ(taken[i].width, 640) << "frame " << i - 1;
    EXPECT_EQ(taken[i].pixels, expected[i].pixels) << "frame " << i - 1;
  }
  EXPECT_NE(expected[1].pixels, expected[2].pixels);
  // The ramp is in the picture: green from frame 6 on.
  EXPECT_NE(expected[6].at(600, 400) >> 8 & 0xFF, 0u);
  EXPECT_EQ(expected[7].at(600, 400) >> 8 & 0xFF, 0u);

  // Not initialised: the empty picture, as screenshot() gives.
  g.queue_screenshot();
  ASSERT_TRUE(g.take_screenshot(got, false));
  EXPECT_TRUE(got.empty());
}

TEST(FrameGrabber, WhileSeekingTheDisplayNeitherRendersNorPresentsButCountsFlips) {
  Events ev;
  auto d = make_display(ev);
  FrameGrabber g(*d);
  d->initialize();
  d->fill(0xFFFF);
  d->flip();
  g.set_seeking(true);
  d->render();  // would clear the viewport to black
  EXPECT_EQ(d->surface().at(320, 240), 0xFFFFFFFFu);
  d->fill(0);
  d->flip();
  EXPECT_EQ(d->flips(), 2);
  EXPECT_EQ(d->screenshot().at(320, 240), 0xFFFFFFFFu);  // still the picture presented before
  g.set_seeking(false);
  d->flip();
  EXPECT_EQ(d->screenshot().at(320, 240), 0xFF000000u);
}

TEST(DisplayControl, RenderClearsOnlyTheViewportRectangle) {
  Events ev;
  auto d = make_display(ev);
  d->initialize();
  d->fill(0xFFFF);
  ASSERT_TRUE(ev.stage.viewport->configure(100, 50, 200, 100));
  d->render();
  EXPECT_EQ(d->surface().at(99, 60), 0xFFFFFFFFu);
  EXPECT_EQ(d->surface().at(100, 50), 0xFF000000u);
  EXPECT_EQ(d->surface().at(299, 149), 0xFF000000u);
  EXPECT_EQ(d->surface().at(300, 149), 0xFFFFFFFFu);
  EXPECT_EQ(d->surface().at(299, 150), 0xFFFFFFFFu);
}

TEST(DisplayControl, ImageListIndicesOutsideTheListDrawNothing) {
  Events ev;
  auto d = make_display(ev);
  ImageList list;
  list.add(Picture(4, 4, 0xFF00FF00u), 0, true);
  d->initialize();
  d->draw(0, 0, 0);  // no list bound yet
  EXPECT_EQ(d->surface().at(0, 0), 0xFF000000u);
  d->image_list = &list;
  d->draw(-1, 0, 0);
  d->draw(1, 0, 0);
  d->draw_alpha({0, 0, 10, 10}, 7, 255);
  EXPECT_EQ(d->surface().at(0, 0), 0xFF000000u);
  d->draw(0, 2, 2);
  EXPECT_EQ(d->surface().at(2, 2), 0xFF00FF00u);
  d->draw_alpha({20, 20, 8, 8}, 0, 255);
  EXPECT_EQ(d->surface().at(27, 27), 0xFF00FF00u);
  EXPECT_EQ(list.item(1), nullptr);
  EXPECT_EQ(list.item(-5), nullptr);
}

TEST(TextCanvas, DrawsLatin1TextInTheFontColourOnATransparentBackground) {
  ASSERT_TRUE(TextCanvas::font_available()) << "install fonts-dejavu-core";
  Picture p(640, 480, 0xFF000064u);
  TextCanvas canvas;
  canvas.set_brush_clear(true);
  canvas.set_font_colour(0xFFFFFF);
  canvas.set_font_size(8);
  const std::string text = "Intensit\xE9 light : ";
  const int advance = canvas.text_out(p, 0, 42, text);
  EXPECT_GT(advance, 60);
  int white = 0, touched = 0;
  int lowest = 0, highest = 480;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      if (p.at(x, y) == 0xFFFFFFFFu) ++white;
      if (p.at(x, y) != 0xFF000064u) {
        ++touched;
        lowest = std::max(lowest, y);
        highest = std::min(highest, y);
        EXPECT_LT(x, advance + 2);
      }
    }
  EXPECT_GT(white, 20);
  EXPECT_GE(highest, 42);      // nothing above the line's top
  EXPECT_LT(lowest, 42 + 16);  // an 8-point line is about 11 pixels high
  // The accented letter has its accent: the e-acute column reaches higher
  // than a plain e would.
  Picture e(64, 32, 0xFF000000u), e_acute(64, 32, 0xFF000000u);
  canvas.text_out(e, 0, 0, "e");
  canvas.text_out(e_acute, 0, 0, "\xE9");
  auto top_row = [](const Picture& pic) {
    for (int y = 0; y < pic.height; ++y)
      for (int x = 0; x < pic.width; ++x)
        if (pic.at(x, y) != 0xFF000000u) return y;
    return pic.height;
  };
  EXPECT_LT(top_row(e_acute), top_row(e));
  // A bad size draws nothing.
  canvas.set_font_size(0);
  Picture q(32, 32, 0xFF000000u);
  EXPECT_EQ(canvas.text_out(q, 0, 0, "x"), 0);
}
