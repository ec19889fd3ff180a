#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/music_startup.h"
#include "fake_music_device.h"

namespace quarvel::app {
namespace {

// The music layer stand-in, with the handle the start-up must keep.
struct FakeMusic : testing::FakeMusicDevice {
  FakeMusic() { stream_handle = 7; }
};

struct Report {
  ErrorReportHooks hooks() {
    return {[this](const std::string& caption, const std::string& text) {
              shown.push_back(caption + "|" + text);
            },
            [this](int status) { exits.push_back(status); }};
  }
  std::vector<std::string> shown;
  std::vector<int> exits;
};

TEST(MusicStartup, CallsTheLayerInTheShowsOrder) {
  FakeMusic music;
  Report report;
  uint32_t flux_musique = 0;
  int window = 0;
  EXPECT_TRUE(FormCreate_music(music, &window, flux_musique, report.hooks()));
  EXPECT_EQ(music.calls, (std::vector<std::string>{"version", "init -1 44100 16", "start",
                                                   "open_stream sik_test.mp3", "play_module 7"}));
  EXPECT_EQ(music.init_window, &window);
  EXPECT_EQ(flux_musique, 7u);
  EXPECT_TRUE(report.shown.empty());
  EXPECT_TRUE(report.exits.empty());
}

TEST(MusicStartup, MissingMusicIsNotFatal) {
  FakeMusic music;
  music.stream_handle = 0;
  Report report;
  uint32_t flux_musique = 99;
  EXPECT_TRUE(FormCreate_music(music, nullptr, flux_musique, report.hooks()));
  EXPECT_EQ(flux_musique, 0u);
  EXPECT_TRUE(report.exits.empty());
}

TEST(MusicStartup, AnyOtherVersionStopsBeforeTheDevice) {
  for (uint32_t version : {0u, 0x00070000u, 0x00090000u, 0x00080001u, 0x01080000u}) {
    FakeMusic music;
    music.version_value = version;
    music.error = 3;
    Report report;
    uint32_t flux_musique = 0;
    EXPECT_FALSE(FormCreate_music(music, nullptr, flux_musique, report.hooks()));
    EXPECT_EQ(music.calls, std::vector<std::string>{"version"}) << version;
    ASSERT_EQ(report.shown.size(), 1u);
    EXPECT_EQ(report.shown[0], "Error|BASS version 0.8 was not loaded\r\n(error code: 3)");
    EXPECT_EQ(report.exits, std::vector<int>{1});
  }
}

TEST(MusicStartup, DeviceFailureReportsAndStops) {
  FakeMusic music;
  music.init_ok = false;
  Report report;
  uint32_t flux_musique = 0;
  EXPECT_FALSE(FormCreate_music(music, nullptr, flux_musique, report.hooks()));
  EXPECT_EQ(music.calls, (std::vector<std::string>{"version", "init -1 44100 16"}));
  ASSERT_EQ(report.shown.size(), 1u);
  EXPECT_EQ(report.shown[0], "Error|Can't initialize device\r\n(error code: 23)");
  EXPECT_EQ(report.exits, std::vector<int>{1});
}

TEST(MusicStartup, ErrorReportText) {
  EXPECT_EQ(error_report_text("Can't initialize device", 0), "Can't initialize device\r\n(error code: 0)");
  EXPECT_EQ(error_report_text("x", -1), "x\r\n(error code: -1)");
}

TEST(MusicStartup, DefaultExitEndsTheProcessWithAFailureStatus) {
  // Other tests of this program leave Mesa's threads running: a plain fork
  // may copy a lock one of them holds (it hangs under the thread sanitizer),
  // so the child starts the program afresh.
  const std::string style = GTEST_FLAG_GET(death_test_style);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(default_error_report_hooks().exit(1), ::testing::ExitedWithCode(1), "");
  GTEST_FLAG_SET(death_test_style, style);
}

TEST(MusicShutdown, FormDestroyFreesTheLayer) {
  FakeMusic music;
  FormDestroy_music(music);
  EXPECT_EQ(music.calls, std::vector<std::string>{"free"});
}

}  // namespace
}  // namespace quarvel::app
