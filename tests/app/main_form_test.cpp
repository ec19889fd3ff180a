#include <gtest/gtest.h>

#include "app/main_form.h"
#include "platform/audio/music_system.h"

using namespace quarvel;

namespace {

// A form without a window; its frames drawn (headless GL) or only
// recorded.
struct Headless {
  explicit Headless(bool drawn = false) : drawn(drawn) {}
  bool drawn;
  uint32_t now = 0;
  audio::MusicSystem music{audio::Playback::virtual_clock};
  app::TMainForm form{drawn ? display::make_headless_backend() : display::make_recording_backend(),
                      [this] { return now; }, music};
};

}  // namespace

TEST(MainForm, TicksClearAndFlipFromTheFirstShowing) {
  Headless h(true);
  h.form.FormCreate();  // no music file here: the handle stays 0, the show goes on
  EXPECT_EQ(h.form.show().clock.flux_musique, 0u);
  for (auto& step : h.form.steps) step = [](scene::Show&) {};
  EXPECT_FALSE(h.form.idle_loop.idle());  // not shown yet: no timer
  h.form.Show();
  ASSERT_TRUE(h.form.DXDraw.initialized());
  EXPECT_TRUE(h.form.DXTimer.enabled());
  h.form.DXDraw.fill(0xFFFF);
  h.now += 16;
  EXPECT_TRUE(h.form.idle_loop.idle());
  EXPECT_EQ(h.form.ticks(), 1u);
  EXPECT_EQ(h.form.DXDraw.flips(), 1);
  // The empty scene was rendered over the whole viewport.
  EXPECT_EQ(h.form.DXDraw.screenshot().at(320, 240), 0xFF000000u);
  h.form.FormDestroy();
}

TEST(MainForm, InputIsReadOncePerTick) {
  Headless h;
  for (auto& step : h.form.steps) step = [](scene::Show&) {};
  h.form.Show();
  h.form.raw_input.press('S');
  h.form.raw_input.mouse_dy = 7;
  EXPECT_FALSE(h.form.DXInput1.key('S'));  // not before the tick
  h.form.idle_loop.idle();
  EXPECT_TRUE(h.form.DXInput1.key('S'));
  EXPECT_EQ(h.form.DXInput1.mouse_y(), 7);
  h.form.idle_loop.idle();
  EXPECT_EQ(h.form.DXInput1.mouse_y(), 0);
}

TEST(MainForm, EscapeClosesAndAltEnterSwitchesFullScreen) {
  Headless h;
  int inits = 0;
  h.form.Show();
  auto original = h.form.DXDraw.on_initialize;
  h.form.DXDraw.on_initialize = [&] {
    ++inits;
    original();
  };
  EXPECT_TRUE(h.form.DXDraw.full_screen);
  h.form.FormKeyDown(13, false);  // Enter alone does nothing
  EXPECT_EQ(inits, 0);
  h.form.FormKeyDown(13, true);
  EXPECT_EQ(inits, 1);
  EXPECT_FALSE(h.form.DXDraw.full_screen);
  EXPECT_TRUE(h.form.DXDraw.initialized());
  EXPECT_TRUE(h.form.DXTimer.enabled());  // re-armed by the new initialisation
  h.form.FormKeyDown(13, true);
  EXPECT_TRUE(h.form.DXDraw.full_screen);
  EXPECT_FALSE(h.form.closing());
  h.form.FormKeyDown(27, false);
  EXPECT_TRUE(h.form.closing());
}
