// Timedemo figures and the progress line.
#include <gtest/gtest.h>

#include <regex>

#include "capture_run.h"
#include "platform/audio/pcm_track.h"
#include "progress.h"
#include "timedemo.h"

using namespace quarvel;

namespace {

capture::TickInfo tick(int n, int step, double ms) {
  capture::TickInfo t;
  t.tick = n;
  t.step = step;
  t.horloge = static_cast<float>(n) / 2;
  t.seconds = ms / 1000;
  t.cpu_seconds = ms / 1000;
  t.render_cpu_seconds = ms / 4000;
  return t;
}

double number(const std::string& json, const std::string& key) {
  std::smatch m;
  const std::regex re("\"" + key + "\": ([-0-9.e]+)");
  EXPECT_TRUE(std::regex_search(json, m, re)) << key;
  return m.empty() ? -1 : std::stod(m[1]);
}

}  // namespace

TEST(Timedemo, PercentilesScenesAndSlowestTicks) {
  capture::Timedemo demo;
  // 100 ticks of 1..100 ms: 60 loading, 40 in step 2.
  for (int i = 0; i < 100; ++i) demo.add(tick(i, i < 60 ? 0 : 2, i + 1));
  const auto r = demo.report(2.0);
  EXPECT_EQ(r.frames, 100);
  EXPECT_DOUBLE_EQ(r.mean_fps, 50.0);
  EXPECT_NEAR(r.overall.median_ms, 50, 1e-9);
  EXPECT_NEAR(r.overall.p95_ms, 95, 1e-9);
  EXPECT_NEAR(r.overall.p99_ms, 99, 1e-9);
  EXPECT_NEAR(r.overall.worst_ms, 100, 1e-9);
  ASSERT_EQ(r.scenes.size(), 2u);
  EXPECT_EQ(r.scenes[0].first, "loading");
  EXPECT_EQ(r.scenes[0].second.frames, 60);
  EXPECT_EQ(r.scenes[1].first, "Party_2");
  EXPECT_NEAR(r.scenes[1].second.worst_ms, 100, 1e-9);
  ASSERT_EQ(r.slowest.size(), 5u);
  EXPECT_EQ(r.slowest[0].tick, 99);
  EXPECT_EQ(r.slowest[4].tick, 95);
  EXPECT_EQ(r.slowest[0].scene, "Party_2");
  EXPECT_FLOAT_EQ(r.slowest[0].clock, 49.5f);
  // Processor time means: ticks 61..100 ms, a quarter of each in the render.
  EXPECT_NEAR(r.scenes[1].second.render_ms, 80.5 / 4, 1e-9);
  EXPECT_NEAR(r.scenes[1].second.other_ms, 80.5 * 3 / 4, 1e-9);
  // The change to step 2 at tick 60: the slowest of ticks 55 to 70.
  ASSERT_EQ(r.changes.size(), 1u);
  EXPECT_EQ(r.changes[0].tick, 70);
  EXPECT_EQ(r.changes[0].scene, "Party_2");

  const std::string text = capture::timedemo_text(r);
  EXPECT_NE(text.find("100 frames in 2.00 s wall"), std::string::npos) << text;
  EXPECT_NE(text.find("Party_2"), std::string::npos);
  const std::string json = capture::timedemo_json(r);
  EXPECT_EQ(number(json, "frames"), 100);
  EXPECT_EQ(number(json, "worst_ms"), 100);
  EXPECT_NE(json.find("\"changes\": [{\"tick\": 70,"), std::string::npos) << json;
}

TEST(Timedemo, EmptyRunHasZeroFigures) {
  const auto r = capture::Timedemo().report(0);
  EXPECT_EQ(r.frames, 0);
  EXPECT_EQ(r.overall.worst_ms, 0);
  EXPECT_TRUE(r.slowest.empty());
  EXPECT_NE(capture::timedemo_json(r).find("\"slowest\": []"), std::string::npos);
}

TEST(Timedemo, ShowRunPrintsEveryFigureAsJson) {
  auto run = test::run_capture({"--timedemo", "--json", "--ticks", "120", "--ms-per-tick", "100", "--split-render"});
  ASSERT_EQ(run.status, 0) << (run.err.empty() ? "" : run.err[0]);
  ASSERT_EQ(run.out.size(), 1u);
  const std::string& json = run.out[0];
  EXPECT_EQ(json.front(), '{');
  EXPECT_EQ(json.back(), '}');
  EXPECT_EQ(number(json, "frames"), 120);
  EXPECT_GT(number(json, "wall_seconds"), 0);
  EXPECT_GT(number(json, "mean_fps"), 0);
  const double median = number(json, "median_ms"), p95 = number(json, "p95_ms"), p99 = number(json, "p99_ms"),
               worst = number(json, "worst_ms");
  EXPECT_GT(median, 0);
  EXPECT_LE(median, p95);
  EXPECT_LE(p95, p99);
  EXPECT_LE(p99, worst);
  EXPECT_GT(number(json, "render_ms"), 0);
  EXPECT_GE(number(json, "other_ms"), 0);
  EXPECT_NE(json.find("\"scenes\": [{\"scene\": \""), std::string::npos) << json;
  // Five slowest ticks, each with its tick, clock and scene.
  const std::regex slow("\\{\"tick\": [0-9]+, \"clock\": [-0-9.e]+, \"scene\": \"[A-Za-z_0-9]+\", \"ms\": [0-9.]+\\}");
  EXPECT_EQ(std::distance(std::sregex_iterator(json.begin(), json.end(), slow), std::sregex_iterator()), 5);
  // Not a terminal: no progress line.
  EXPECT_TRUE(run.err.empty());
}

TEST(Progress, LineSaysSceneClockMusicRateAndTimeLeft) {
  capture::TickInfo t = tick(10, 3, 1);
  t.horloge = 12.5f;
  t.music_bytes = 2000;
  t.music_pos = 500;  // a quarter
  const std::string line = capture::progress_line(t, 200, 10.0);
  EXPECT_NE(line.find("Party_3"), std::string::npos) << line;
  EXPECT_NE(line.find("12.50"), std::string::npos) << line;
  EXPECT_NE(line.find("25.0%"), std::string::npos) << line;
  EXPECT_NE(line.find("20.0 fps"), std::string::npos) << line;
  EXPECT_NE(line.find("left 0:30"), std::string::npos) << line;
  t.music_bytes = 0;  // length not known yet
  EXPECT_NE(capture::progress_line(t, 0, 0).find("left --:--"), std::string::npos);
}
