// The opening scene and the forest flight as the headless runner plays them
// from the generated show folder, read back from its trace: one second of
// music a tick (58.8 clock units), so the whole opening takes some 130 ticks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "capture/trace_reader.h"
#include "controls/effects.h"
#include "scene/helpers.h"
#include "scene/primitives.h"
#include "scenes/opening.h"
#include "scenes/steps.h"
#include "show_fixture.h"

namespace quarvel {
namespace {

const std::string kShowDir = std::string(QUARVEL_BINARY_DIR) + "/show";
const std::string kRunner = std::string(QUARVEL_BINARY_DIR) + "/bin/quarvel-capture";

// One tick of the trace.
using TraceTick = test::TraceLine;

class ShowTrace : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::filesystem::exists(kShowDir + "/00000000.dat") || !std::filesystem::exists(kRunner)) return;
    const std::string out = std::filesystem::temp_directory_path() / ("quarvel-scenes-trace-" +
                                                                      std::to_string(::getpid()) + ".jsonl");
    const std::string cmd = "cd '" + kShowDir + "' && '" + kRunner + "' --no-pictures --ms-per-tick 1000 --ticks 175 --trace '" +
                            out + "' 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) return;
    std::ifstream in(out);
    for (std::string line; std::getline(in, line);) ticks_->emplace_back(line);
    std::filesystem::remove(out);
  }
  void SetUp() override {
    if (ticks_->empty()) GTEST_SKIP() << "no runner or no generated show folder";
  }

 public:
  static const std::vector<TraceTick>& ticks() { return *ticks_; }
  // The first tick that called `builder`.
  static std::optional<size_t> tick_building(const std::string& builder) {
    for (size_t i = 0; i < ticks().size(); ++i) {
      if (ticks()[i].built(builder)) return i;
    }
    return std::nullopt;
  }
  // The ticks of the opening scene whose clock lies strictly inside (from, to).
  static std::vector<size_t> opening_ticks(float from, float to) {
    std::vector<size_t> out;
    const size_t end = tick_building("Party_chargement_anim2").value_or(ticks().size());
    for (size_t i = 0; i < end; ++i) {
      if (ticks()[i].clock() > from && ticks()[i].clock() < to) out.push_back(i);
    }
    return out;
  }

 private:
  static inline std::vector<TraceTick>* ticks_ = new std::vector<TraceTick>;
};

const std::vector<TraceTick>& ticks() { return ShowTrace::ticks(); }
std::optional<size_t> tick_building(const std::string& b) { return ShowTrace::tick_building(b); }
std::vector<size_t> opening_ticks(float from, float to) { return ShowTrace::opening_ticks(from, to); }

// The clock a tick's steps saw: the previous tick's clock moved on by half
// the music's step, as the frame loop does (a builder may have changed the
// traced step since).
float clock_seen(const TraceTick& before, const TraceTick& now) {
  const auto step = static_cast<int32_t>(static_cast<uint32_t>(now.number("pos")) - static_cast<uint32_t>(before.number("pos")));
  const auto pas_temps = static_cast<float>(step / 1500.0);
  return static_cast<float>(before.clock() + pas_temps / 2.0);
}

void OpeningIsBuiltOnTheFirstTickAndItsStepRunsThen() {
  const TraceTick& first = ticks().front();
  EXPECT_EQ(first["built"], "[\"Party_chargement_anim\"]");
  EXPECT_EQ(first["ran"], "[1,2]");
  EXPECT_EQ(first["flags"], "[1]");
  EXPECT_EQ(ticks()[1]["built"], "[]");
  EXPECT_EQ(ticks()[1]["ran"], "[2]");
}

void SeedAfterTheOpeningBuildCountsTenDrawsPerLoadingFrame() {
  // The walk's labels on the same model, from a build of our own.
  testing::ShowFixture f;
  size_t labels = 0;
  {
    testing::CurrentDir here(kShowDir);
    scene::add_anim(f.show, 1, 1, "00000000.dat", 0, 0, 0);
  }
  scene::walk_ship_parts(f.show, f.show.anim_frame.get(1), [&labels](const std::string&) { ++labels; });
  ASSERT_GT(labels, 0u);
  scene::Random expected;
  for (size_t i = 0; i < 10 * (2 * 2 + 3 + 3 * 2 + labels); ++i) expected.random(5);
  EXPECT_EQ(static_cast<uint32_t>(ticks().front().number("seed")), expected.seed);
}

void ForestFlightTakesOverOnTheFirstTickPast7600() {
  const auto t = tick_building("Party_chargement_anim2");
  ASSERT_TRUE(t.has_value());
  ASSERT_GT(*t, 0u);
  const TraceTick& before = ticks()[*t - 1];
  const TraceTick& now = ticks()[*t];
  EXPECT_LE(before.clock(), 7600.0f);
  EXPECT_GT(clock_seen(before, now), 7600.0f);
  EXPECT_EQ(now["ran"], "[2,3]");  // Party_3 in the same tick
  EXPECT_EQ(now["flags"], "[2]");
  EXPECT_LT(now.clock(), 100.0f);  // restarted from the music step
  // The rest of the opening's tick saw the forest's clock: no closing
  // contrast over the forest's normal one, no last stage.
  EXPECT_EQ(now.number("etape_x"), 6);
  const render::GammaRamp normal = controls::contrast_ramp(24, 145);
  const std::vector<double> red = now.gamma("r");
  ASSERT_EQ(red.size(), 256u);
  for (size_t e = 0; e < 256; ++e) ASSERT_EQ(red[e], normal.red[e]) << e;

  // Tree places (x rejected inside (-500, 500), then z) and sizes drawn on
  // from the seed of the tick before.
  scene::Random expected;
  expected.seed = static_cast<uint32_t>(before.number("seed"));
  for (int r = 0; r < 31; ++r) {
    int32_t x = 0;
    do {
      x = expected.random(2000) - 1000;
    } while (x > -500 && x < 500);
    expected.random(4000);
  }
  for (int i = 0; i < 21; ++i) {
    expected.random(6);
    expected.random(9);
  }
  EXPECT_EQ(static_cast<uint32_t>(now.number("seed")), expected.seed);
}

void ForestFlightHandsOverPastItsEnd() {
  const auto start = tick_building("Party_chargement_anim2");
  const auto t = tick_building("Party_chargement_anim4");
  ASSERT_TRUE(start.has_value());
  ASSERT_TRUE(t.has_value());
  EXPECT_GT(*t, *start + 30);  // 2000 units at 58.8 a tick
  EXPECT_LE(ticks()[*t - 1].clock(), 2000.0f);
  EXPECT_GT(clock_seen(ticks()[*t - 1], ticks()[*t]), 2000.0f);
  for (size_t i = *start + 1; i < *t; ++i) EXPECT_EQ(ticks()[i]["ran"], "[3]") << i;
}

void GammaFadesFromTheSavedRampAndBack() {
  const std::vector<size_t> out = opening_ticks(1670, 1710);
  const std::vector<size_t> in = opening_ticks(1740, 1980);
  ASSERT_FALSE(out.empty());
  ASSERT_GE(in.size(), 3u);
  const render::GammaRamp saved = render::GammaRamp::identity();
  const auto check = [&](size_t i, int64_t step) {
    const render::GammaRamp want = controls::darkened_ramp(saved, step);
    for (const char* c : {"r", "g", "b"}) {
      const std::vector<double> got = ticks()[i].gamma(c);
      ASSERT_EQ(got.size(), 256u) << "tick " << i << " " << c;
      for (size_t e = 0; e < 256; ++e) ASSERT_EQ(got[e], want.red[e]) << "tick " << i << " entry " << e;
    }
  };
  for (size_t i : out) check(i, 800 * scene::Round(ticks()[i].clock() - 1670.0));
  for (size_t i : in) check(i, 273 * (240 - scene::Round(ticks()[i].clock() - 1740.0)));
  // Before the fade the ramp is the saved one, and stays unchanged.
  EXPECT_FALSE(ticks()[out.front() - 1].has("gamma"));
}

void LightZeroBlinksBetween3300And3900AndIsWhiteAfter() {
  const std::vector<size_t> blink = opening_ticks(3300, 3900);
  ASSERT_GE(blink.size(), 5u);
  for (size_t i : blink) EXPECT_NE(ticks()[i]["light0"], "[1,1,1]") << i;
  EXPECT_NE(ticks()[blink[0]]["light0"], ticks()[blink[1]]["light0"]);
  for (size_t i : opening_ticks(3900, 7600)) EXPECT_EQ(ticks()[i]["light0"], "[1,1,1]") << i;
  for (size_t i : opening_ticks(0, 3300)) EXPECT_EQ(ticks()[i]["light0"], "[1,1,1]") << i;
}

void LetterboxOpensFrom6100AndFullScreenFrom6760() {
  const std::vector<size_t> band = opening_ticks(6100, 6760);
  ASSERT_GE(band.size(), 5u);
  for (size_t n = 1; n <= band.size(); ++n) {
    const int k = static_cast<int>(std::min<size_t>(n, 18));
    const std::vector<double> v = ticks()[band[n - 1]].numbers("viewport");
    EXPECT_EQ(v, (std::vector<double>{0, 240.0 - 10 * k, 640, 20.0 * k})) << "tick " << band[n - 1];
  }
  EXPECT_EQ(ticks()[band.front() - 1].numbers("viewport"), (std::vector<double>{0, 0, 640, 480}));
  // Past 6760 the stage machine moves on (and sets the whole screen once);
  // at a second of music a tick the band is still opening then and goes on
  // to its full 360 lines (at 60 ticks a second it is open long before).
  const std::vector<size_t> after = opening_ticks(6760, 7600);
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(ticks()[after.front()].number("etape_x"), 6);
  EXPECT_EQ(ticks()[after.back()].numbers("viewport"), (std::vector<double>{0, 60, 640, 360}));
}

void FieldWidensBetween1130And1185() {
  const std::vector<size_t> wide = opening_ticks(1130, 1185);
  ASSERT_FALSE(wide.empty());
  for (size_t n = 0; n < wide.size(); ++n) {
    EXPECT_EQ(ticks()[wide[n]].number("focale"), 10 + static_cast<double>(n));
    EXPECT_FLOAT_EQ(static_cast<float>(ticks()[wide[n]].number("field")), (9 + n) / 20.0f);
  }
  // The tick past the window still sets the widest field, then goes back.
  const size_t after = wide.back() + 1;
  EXPECT_EQ(ticks()[after].number("focale"), 9);
  EXPECT_FLOAT_EQ(static_cast<float>(ticks()[after].number("field")), (9 + wide.size()) / 20.0f);
  EXPECT_FLOAT_EQ(static_cast<float>(ticks()[after + 1].number("field")), 9 / 20.0f);
}

// One run of the runner serves every check.
TEST_F(ShowTrace, OpeningAndForestFlightAsTheRunnerPlaysThem) {
  {
    SCOPED_TRACE("OpeningIsBuiltOnTheFirstTickAndItsStepRunsThen");
    OpeningIsBuiltOnTheFirstTickAndItsStepRunsThen();
  }
  {
    SCOPED_TRACE("SeedAfterTheOpeningBuildCountsTenDrawsPerLoadingFrame");
    SeedAfterTheOpeningBuildCountsTenDrawsPerLoadingFrame();
  }
  {
    SCOPED_TRACE("ForestFlightTakesOverOnTheFirstTickPast7600");
    ForestFlightTakesOverOnTheFirstTickPast7600();
  }
  {
    SCOPED_TRACE("ForestFlightHandsOverPastItsEnd");
    ForestFlightHandsOverPastItsEnd();
  }
  {
    SCOPED_TRACE("GammaFadesFromTheSavedRampAndBack");
    GammaFadesFromTheSavedRampAndBack();
  }
  {
    SCOPED_TRACE("LightZeroBlinksBetween3300And3900AndIsWhiteAfter");
    LightZeroBlinksBetween3300And3900AndIsWhiteAfter();
  }
  {
    SCOPED_TRACE("LetterboxOpensFrom6100AndFullScreenFrom6760");
    LetterboxOpensFrom6100AndFullScreenFrom6760();
  }
  {
    SCOPED_TRACE("FieldWidensBetween1130And1185");
    FieldWidensBetween1130And1185();
  }
}

}  // namespace
}  // namespace quarvel
