// The window program's message loop with faults put in through its display
// back end: a window hidden while the music plays on, and a display that
// goes away. SDL's event queue is real (no video needed); the picture is
// drawn headless.
#include <gtest/gtest.h>

#include <SDL.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "fake_music_device.h"
#include "platform/display/backend.h"
#include "platform/display/display_lost.h"
#include "runner/window_loop.h"

using namespace quarvel;

namespace {

// The headless back end, with whether the window is shown and whether the
// display is gone decided by the test: `on_shown` runs each time the loop
// asks (once a pass), `gone` is read each time it asks for that.
class FaultyBackend : public display::DisplayBackend {
 public:
  FaultyBackend(std::function<bool()> on_shown, std::function<bool()> gone)
      : on_shown_(std::move(on_shown)), gone_(std::move(gone)) {}
  void open(bool full_screen) override { inner_->open(full_screen); }
  void close() override { inner_->close(); }
  bool is_open() const override { return inner_->is_open(); }
  void make_current() override { inner_->make_current(); }
  void show(render::Presenter& p) override { inner_->show(p); }
  bool headless() const override { return inner_->headless(); }
  bool shown() const override { return on_shown_ ? on_shown_() : true; }
  bool lost() const override { return gone_ ? gone_() : false; }

 private:
  std::unique_ptr<display::DisplayBackend> inner_ = display::make_headless_backend();
  std::function<bool()> on_shown_;
  std::function<bool()> gone_;
};

// An event that wakes the loop from its wait at once.
void wake_the_loop() {
  SDL_Event ev{};
  ev.type = SDL_USEREVENT;
  SDL_PushEvent(&ev);
}

class WindowLoop : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError(); }
  void TearDown() override { SDL_Quit(); }
};

TEST_F(WindowLoop, HiddenWindowWaitsWithoutTicksAndTheFirstTickBackTakesAllTheMusicPlayed) {
  // A track of 1,500,000 bytes (1,000 clock units); while the window is
  // hidden the loop looks three times, the music 600,000 bytes further each
  // time: past the track's end and round to 300,000.
  quarvel::testing::FakeMusicDevice music;
  music.length_value = 1'500'000;
  const uint32_t looks[] = {600'000, 1'200'000, 300'000};
  std::unique_ptr<app::TMainForm> form;
  int asked = 0;
  std::vector<uint64_t> ticks_while_hidden;
  auto shown = [&] {
    ticks_while_hidden.push_back(form->ticks());
    if (asked == 3) return true;
    music.position_value = looks[asked++];
    wake_the_loop();
    return false;
  };
  form = std::make_unique<app::TMainForm>(std::make_unique<FaultyBackend>(shown, nullptr), [] { return 0u; }, music);
  std::vector<float> steps_seen;
  for (auto& step : form->steps) {
    step = [&](scene::Show& s) {
      steps_seen.push_back(s.clock.pas_temps);
      form->Close();
    };
  }
  form->Show();
  runner::run_message_loop(*form);

  // No tick while hidden; then one, whose clock step is the whole 1,800,000
  // bytes played (the wrap counted), not the 300,000 between the positions.
  EXPECT_EQ(ticks_while_hidden, (std::vector<uint64_t>{0, 0, 0, 0}));
  EXPECT_EQ(form->ticks(), 1u);
  EXPECT_EQ(form->DXDraw.flips(), 1);
  ASSERT_EQ(steps_seen.size(), 1u);
  EXPECT_FLOAT_EQ(steps_seen[0], 1200.0f);
  EXPECT_FLOAT_EQ(form->show().clock.horloge, 600.0f);
}

TEST_F(WindowLoop, DisplayGoingAwayEndsTheProgramWithOneLineAndWritesNothing) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The show plays from a folder holding the light file, which the show
  // appends to while S is held; a program that saved on its way out would
  // write there.
  const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "display_lost_show";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  { std::ofstream(folder / "tmp.tmp"); }
  const auto here = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  EXPECT_EXIT(
      {
        quarvel::testing::FakeMusicDevice music;
        std::unique_ptr<app::TMainForm> form;
        // The compositor goes away after the show's third tick.
        auto gone = [&] { return form && form->ticks() >= 3; };
        form = std::make_unique<app::TMainForm>(std::make_unique<FaultyBackend>(nullptr, gone),
                                                [] { return 0u; }, music);
        for (auto& step : form->steps) step = [](scene::Show&) {};
        form->FormCreate();
        form->Show();
        runner::run_message_loop(*form);
        form->FormDestroy();
        std::exit(0);
      },
      // The show's own line about its missing backdrop comes first.
      ::testing::ExitedWithCode(1), "^introsi.jpg: [^\n]*\nquarvel: the display went away\n$");
  std::filesystem::current_path(here);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) left.push_back(entry.path().filename());
  EXPECT_EQ(left, std::vector<std::string>{"tmp.tmp"});
  EXPECT_EQ(std::filesystem::file_size(folder / "tmp.tmp"), 0u);
  std::filesystem::remove_all(folder);
}

}  // namespace
