// The operator's keys played into the whole show by the headless runner, at
// one second of music a tick, read back from its trace (and two frames):
// the clock keys, the camera keys, the overlay, the light file, the scene
// jumps from the finale, Alt+Enter, and keys held across the jumps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "capture/trace_reader.h"
#include "platform/common/picture_file.h"
#include "show_fixture.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::read_text_file;
using testing::TempDir;
using testing::write_text_file;

const fs::path kShowDir = fs::path(QUARVEL_BINARY_DIR) / "show";
const fs::path kRunner = fs::path(QUARVEL_BINARY_DIR) / "bin" / "quarvel-capture";

// One line of the trace.
using Tick = test::TraceLine;

// A folder holding links to every file of the generated show, where the
// runner plays it (so a light file made there stays there). Its music is
// the show's twice over: the show's own ends soon after the finale, and a
// jump back from the finale then plays the chain again on music that runs
// on rather than on music that starts over.
class ShowCopy {
 public:
  ShowCopy() {
    for (const auto& e : fs::directory_iterator(kShowDir)) {
      const fs::path name = e.path().filename();
      if (!e.is_regular_file() || name == "tmp.tmp" || name == "sik_test.mp3") continue;
      fs::create_symlink(e.path(), dir_.path() / name);
    }
    const std::string music = read_text_file((kShowDir / "sik_test.mp3").string());
    write_text_file(dir_.file("sik_test.mp3"), music + music);
  }
  const TempDir& dir() const { return dir_; }

  // Runs the show with `script`; the trace, one Tick a line.
  std::vector<Tick> play(const std::string& script, const std::string& extra = "") const {
    write_text_file(dir_.file("keys.txt"), script);
    const std::string trace = dir_.file("trace.jsonl");
    const std::string cmd = "cd '" + dir_.path().string() + "' && '" + kRunner.string() +
                            "' --ms-per-tick 1000 --input keys.txt --trace trace.jsonl --trace-operator " + extra +
                            " 2>/dev/null";
    std::vector<Tick> ticks;
    if (std::system(cmd.c_str()) != 0) return ticks;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) ticks.emplace_back(line);
    return ticks;
  }

 private:
  TempDir dir_;
};

std::optional<size_t> first_building(const std::vector<Tick>& ticks, const std::string& builder, size_t from = 0) {
  for (size_t i = from; i < ticks.size(); ++i)
    if (ticks[i].built(builder)) return i;
  return std::nullopt;
}

class OperatorShow : public ::testing::Test {
 protected:
  // The tick on which the finale is built when nobody touches a key.
  static void SetUpTestSuite() {
    if (!fs::exists(kShowDir / "00000007.dat") || !fs::exists(kRunner)) return;
    ShowCopy show;
    const std::vector<Tick> ticks = show.play("# nothing\n", "--no-pictures");
    if (auto t = first_building(ticks, "Party_chargement_anim6")) finale_ = static_cast<int>(*t);
  }
  void SetUp() override {
    if (finale_ < 0) GTEST_SKIP() << "no runner or no generated show folder in " << QUARVEL_BINARY_DIR;
  }
  // The script line "TICK EVENT" with TICK counted from the finale's build.
  static std::string at(int after_finale, const std::string& event) {
    return std::to_string(finale_ + after_finale) + " " + event + "\n";
  }
  static const Tick& tick(const std::vector<Tick>& ticks, int after_finale) {
    return ticks.at(static_cast<size_t>(finale_ + after_finale));
  }
  static inline int finale_ = -1;
};

TEST_F(OperatorShow, ClockCameraOverlayAndLightFileKeys) {
  ShowCopy show;
  write_text_file(show.dir().file("tmp.tmp"), "old\r\n");
  std::string script;
  script += at(1, "down Shift") + at(2, "up Shift");
  script += at(3, "down Enter") + at(3, "down Shift") + at(4, "up Enter") + at(4, "up Shift");
  script += at(5, "down NumStar") + at(6, "up NumStar");
  script += at(7, "down NumMinus") + at(8, "up NumMinus");
  script += at(9, "down NumSlash") + at(10, "up NumSlash");
  // Shift holds the clock at 1 from here on; Page Up for one tick sets a
  // velocity that stays until the left button, with the mouse still, stops
  // the camera.
  script += at(11, "down Shift") + at(11, "down PageUp") + at(12, "up PageUp");
  script += at(16, "button left down") + at(17, "button left up");
  script += at(18, "down Tab") + at(19, "down Backspace") + at(20, "up Tab") + at(20, "up Backspace");
  script += at(21, "down S") + at(24, "up S") + at(24, "up Shift");
  const int png_on = finale_ + 18, png_off = finale_ + 19;
  const std::vector<Tick> t = show.play(script, "--ticks " + std::to_string(finale_ + 200) + " --png-at " +
                                                    std::to_string(png_on) + "," + std::to_string(png_off) +
                                                    " --out frames");
  ASSERT_GT(t.size(), static_cast<size_t>(finale_ + 25));

  // Shift: the free camera and the clock at 1; Enter and Shift together too.
  EXPECT_EQ(tick(t, 0)["cam_auto"], "true");
  EXPECT_EQ(tick(t, 1)["cam_auto"], "false");
  EXPECT_EQ(tick(t, 1).number("horloge"), 1.0);
  EXPECT_EQ(tick(t, 3)["cam_auto"], "false");
  EXPECT_EQ(tick(t, 3).number("horloge"), 1.0);

  // The clock's advance over a tick, in halves of the music's step.
  auto halves = [&](int k) {
    return (tick(t, k).number("horloge") - tick(t, k - 1).number("horloge")) / (tick(t, k).number("pas_temps") / 2);
  };
  EXPECT_NEAR(halves(4), 1.0, 1e-4);
  EXPECT_NEAR(halves(5), 9.0, 1e-4);   // numpad *: nine times as fast
  EXPECT_NEAR(halves(6), 1.0, 1e-4);
  EXPECT_NEAR(halves(7), 0.0, 1e-4);   // numpad -: held
  EXPECT_NEAR(halves(9), -1.0, 1e-4);  // numpad /: backwards
  EXPECT_NEAR(halves(10), 1.0, 1e-4);

  // Page Up sets a velocity of (0, 10, 0); the camera rises 20 a tick.
  for (int k = 12; k <= 15; ++k) {
    const std::vector<double> a = tick(t, k - 1).numbers("cam"), b = tick(t, k).numbers("cam");
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 3u);
    EXPECT_NEAR(b[1] - a[1], 20.0, 1e-2) << k;
    EXPECT_NEAR(b[0], a[0], 1e-3) << k;
    EXPECT_NEAR(b[2], a[2], 1e-3) << k;
  }

  // Tab: the overlay on, then off with Backspace; the picture differs in
  // the overlay's rows and is the same below them.
  const std::vector<double> stopped = tick(t, 16).numbers("cam");
  EXPECT_EQ(tick(t, 17).numbers("cam"), stopped);
  EXPECT_EQ(tick(t, 19).numbers("cam"), stopped);
  EXPECT_EQ(tick(t, 18)["affiche_infos"], "true");
  EXPECT_EQ(tick(t, 19)["affiche_infos"], "false");
  Picture on, off;
  std::string error;
  ASSERT_TRUE(load_picture(show.dir().file("frames/frame_" + std::string(6 - std::to_string(png_on).size(), '0') +
                                           std::to_string(png_on) + ".png"),
                           on, error))
      << error;
  ASSERT_TRUE(load_picture(show.dir().file("frames/frame_" + std::string(6 - std::to_string(png_off).size(), '0') +
                                           std::to_string(png_off) + ".png"),
                           off, error))
      << error;
  int changed_in_overlay = 0, changed_below = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      if ((on.at(x, y) & 0xFFFFFFu) == (off.at(x, y) & 0xFFFFFFu)) continue;
      (y < 200 ? changed_in_overlay : changed_below) += 1;
    }
  }
  EXPECT_GT(changed_in_overlay, 300);
  // The scene stands still; a stray pixel of the software rasteriser aside,
  // nothing below the overlay changes.
  EXPECT_LE(changed_below, 16);

  // S held for three ticks: three lines after what was there.
  const std::string saved = read_text_file(show.dir().file("tmp.tmp"));
  ASSERT_EQ(saved.rfind("old\r\n", 0), 0u);
  const std::string line = std::string("X\xB2") + "0\xB2" + "0\xB2" + "0\xB2" + "0\xB2" + "0\xB2" + "0\xB2" + "3\r\n";
  EXPECT_EQ(saved, "old\r\n" + line + line + line);

  // Released, the clock runs on and the show ends.
  EXPECT_EQ(t.back()["close"], "true");
}

TEST_F(OperatorShow, F6BuildsTheForestFlightAndTheChainComesBackWithKeysHeldThroughout) {
  ShowCopy show;
  std::string script = at(1, "down F6") + at(1, "down NumStar") + at(1, "down S") + at(1, "down Home") +
                       at(1, "button left down") + at(1, "mouse 5000 -7000") + at(2, "up F6");
  const std::vector<Tick> t = show.play(script, "--no-pictures");
  ASSERT_GT(t.size(), static_cast<size_t>(finale_ + 3));
  EXPECT_EQ(tick(t, 1)["built"], "[\"Party_chargement_anim2\"]");
  EXPECT_EQ(tick(t, 1)["ran"], "[7]");
  EXPECT_EQ(tick(t, 1)["flags"], "[2]");
  EXPECT_EQ(tick(t, 2)["ran"], "[3]");
  // The usual order back to the finale, which ends the show (the clock nine
  // times as fast there with numpad * still held).
  size_t from = static_cast<size_t>(finale_ + 2);
  for (const char* next : {"Party_chargement_anim4", "Party_chargement_anim5", "Party_chargement_anim3",
                           "Party_chargement_anim6"}) {
    const std::optional<size_t> built = first_building(t, next, from);
    ASSERT_TRUE(built.has_value()) << next;
    from = *built;
  }
  EXPECT_EQ(t.back()["close"], "true");
  EXPECT_LT(t.size() - from, 5u);
  // S held in the finale with no light file: none is made.
  EXPECT_FALSE(fs::exists(show.dir().file("tmp.tmp")));
}

TEST_F(OperatorShow, EveryKeyAtOnceJumpsTwiceAndTheShowStillEnds) {
  ShowCopy show;
  std::string script;
  for (int k = 1; k <= 255; ++k) {
    if (k == 18 || k == 27) continue;  // Alt and Esc are the form's own
    script += at(1, "down " + std::to_string(k));
  }
  script += at(1, "button left down") + at(1, "mouse 100000 -100000");
  for (int k = 1; k <= 255; ++k) {
    if (k != 18 && k != 27) script += at(2, "up " + std::to_string(k));
  }
  script += at(2, "button left up");
  const std::vector<Tick> t = show.play(script, "--no-pictures");
  ASSERT_GT(t.size(), static_cast<size_t>(finale_ + 3));
  // F6 then F7 in key order: the explosion runs from the next tick.
  EXPECT_EQ(tick(t, 1)["built"], "[\"Party_chargement_anim2\",\"Party_chargement_anim3\"]");
  EXPECT_EQ(tick(t, 1)["flags"], "[3]");
  EXPECT_EQ(tick(t, 2)["ran"], "[4]");
  ASSERT_TRUE(first_building(t, "Party_chargement_anim6", static_cast<size_t>(finale_ + 2)).has_value());
  EXPECT_EQ(t.back()["close"], "true");
}

// Needs no finale: no run of the whole show first.
TEST(OperatorShowStart, AltEnterRestartsTheShowFromItsFirstStep) {
  if (!fs::exists(kShowDir / "00000000.dat") || !fs::exists(kRunner)) GTEST_SKIP() << "no runner or no show folder";
  ShowCopy show;
  const std::vector<Tick> t = show.play("10 down 18\n10 down Enter\n11 up Enter\n11 up 18\n", "--ticks 14 --no-pictures");
  ASSERT_EQ(t.size(), 14u);
  EXPECT_EQ(t[9]["ran"], "[2]");
  EXPECT_EQ(t[10]["built"], "[\"Party_chargement_anim\"]");
  EXPECT_EQ(t[10]["ran"], "[1,2]");
  EXPECT_LT(t[10].number("horloge"), t[9].number("horloge"));
  EXPECT_EQ(t[11]["ran"], "[2]");
}

}  // namespace
}  // namespace quarvel
