#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/music_startup.h"

namespace quarvel::app {
namespace {

// Records every call the start-up makes and answers as told.
class FakeMusic : public audio::MusicDevice {
 public:
  uint32_t version() override {
    calls.push_back("version");
    return version_value;
  }
  bool init(int device, uint32_t frequency, uint32_t flags, void* window) override {
    calls.push_back("init " + std::to_string(device) + " " + std::to_string(frequency) + " " +
                    std::to_string(flags));
    init_window = window;
    if (!init_ok) error = 23;
    return init_ok;
  }
  bool start() override {
    calls.push_back("start");
    return true;
  }
  uint32_t open_stream(const std::string& file) override {
    calls.push_back("open_stream " + file);
    return stream_handle;
  }
  bool play_module(uint32_t handle) override {
    calls.push_back("play_module " + std::to_string(handle));
    return false;
  }
  bool play_stream(uint32_t handle, bool, bool) override {
    calls.push_back("play_stream");
    return true;
  }
  uint32_t position(uint32_t) override { return 0; }
  uint32_t level(uint32_t) override { return 0; }
  float load() override { return 0; }
  int last_error() override { return error; }
  void free() override { calls.push_back("free"); }

  uint32_t version_value = 524288;
  bool init_ok = true;
  uint32_t stream_handle = 7;
  int error = 0;
  void* init_window = nullptr;
  std::vector<std::string> calls;
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
