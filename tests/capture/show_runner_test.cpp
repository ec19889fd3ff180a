// The runner's show mode: input scripts, the trace, running to the end.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "show_fixture.h"
#include "runner/input_script.h"
#include "show_runner.h"
#include "trace_reader.h"

using namespace quarvel;
using quarvel::testing::CurrentDir;
using quarvel::testing::read_text_file;
using quarvel::testing::TempDir;
using quarvel::testing::write_text_file;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// A default line's keys in order; "gamma" follows on tick 0 and on a change.
const std::vector<std::string> kTraceKeys = {"tick",    "ms",         "pos",       "pas_temps",  "horloge", "fps",
                                             "flags",   "ran",        "built",     "cam",        "viewport", "field",
                                             "front",   "back",       "focale",    "light0",     "seed",    "etape_x",
                                             "etape_logo", "ecran16_n", "charge_pos", "fondu"};

runner::RunOptions options(int ticks_given, const std::string& input, const std::string& trace) {
  runner::RunOptions o;
  o.ticks_given = ticks_given != 0;
  o.input = input;
  o.trace = trace;
  o.draw = false;  // traces and the form's state: nothing is drawn
  return o;
}

// Links the built show's music alone into `dir` (every model and picture
// missing: the show runs on); false when no show folder was built.
bool link_show_music(const TempDir& dir) {
  const fs::path music = fs::path(QUARVEL_BINARY_DIR) / "show" / "sik_test.mp3";
  if (!fs::exists(music)) return false;
  fs::create_symlink(music, dir.path() / "sik_test.mp3");
  return true;
}

}  // namespace

TEST(ShowRunnerOptions, ParsedWithTheOtherOptions) {
  const std::vector<std::string> args = {"--ticks",          "5",             "--input", "k.txt", "--trace", "-",
                                         "--trace-operator", "--ms-per-tick", "12.5",    "--out",  "o"};
  capture::Options opt;
  std::string error;
  bool help = false;
  ASSERT_TRUE(capture::parse_options(args, opt, error, help)) << error;
  EXPECT_EQ(opt.show_run.ticks, 5);
  EXPECT_EQ(opt.out, "o");
  const runner::RunOptions& o = opt.show_run;
  EXPECT_TRUE(o.ticks_given);
  EXPECT_EQ(o.input, (fs::current_path() / "k.txt").string());
  EXPECT_EQ(o.trace, "-");
  EXPECT_TRUE(o.trace_operator);
  EXPECT_DOUBLE_EQ(o.ms_per_tick, 12.5);

  capture::Options d;
  ASSERT_TRUE(capture::parse_options({}, d, error, help));
  EXPECT_FALSE(d.show_run.ticks_given);
  EXPECT_FALSE(d.show_run.trace_operator);
  EXPECT_DOUBLE_EQ(d.show_run.ms_per_tick, 1000.0 / 60.0);

  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--ms-per-tick", "0"}, {"--ms-per-tick", "x"}, {"--ms-per-tick", "-5"},
        {"--ms-per-tick", "nan"}, {"--trace"}, {"--input", ""}}) {
    capture::Options b;
    EXPECT_FALSE(capture::parse_options(bad, b, error, help)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(ShowRunner, BadScriptStopsBeforeAnyTick) {
  TempDir dir;
  CurrentDir here(dir.path());
  write_text_file(dir.file("keys.txt"), "0 down A\n4 down Nope\n");
  int ticks_run = 0;
  ::testing::internal::CaptureStderr();
  const int status = capture::play_show(options(1, dir.file("keys.txt"), dir.file("t.jsonl")), 10,
                                        [&](int, const display::DisplayControl&) {
                                          ++ticks_run;
                                          return true;
                                        });
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status, 2);
  EXPECT_EQ(ticks_run, 0);
  EXPECT_NE(err.find("quarvel-capture: " + dir.file("keys.txt") + ":2: unknown key: Nope\n"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir.file("t.jsonl")));
  // A missing script, a folder or an endless device given as one, and a
  // script over the size limit: one line each.
  std::ofstream(dir.file("huge.txt")) << std::string(runner::kMaxInputScriptBytes + 1, '#');
  const std::pair<std::string, std::string> unreadable[] = {
      {dir.file("nothing.txt"), "cannot read the input script"},
      {dir.path().string(), "is a folder, not an input script"},
      {"/dev/zero", "not a regular file, not an input script"},
      {dir.file("huge.txt"), "larger than 16 MB, too large for an input script"}};
  for (const auto& [file, problem] : unreadable) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(capture::play_show(options(1, file, ""), 10, nullptr), 2) << file;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "quarvel-capture: " + file + ": " + problem + "\n");
  }
}

TEST(ShowRunner, TraceIsByteIdenticalAcrossRunsAndHasEveryKey) {
  TempDir dir;
  CurrentDir here(dir.path());
  write_text_file(dir.file("keys.txt"), "1 down Space\n2 mouse 5 -7\n2 button left down\n3 up Space\n4 click 10 20\n");
  for (const char* name : {"a.jsonl", "b.jsonl"}) {
    ::testing::internal::CaptureStderr();  // the missing show files
    ASSERT_EQ(capture::play_show(options(1, dir.file("keys.txt"), dir.file(name)), 12, nullptr), 0);
    ::testing::internal::GetCapturedStderr();
  }
  const std::string a = read_text_file(dir.file("a.jsonl"));
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a, read_text_file(dir.file("b.jsonl")));
  const std::vector<std::string> lines = lines_of(a);
  ASSERT_EQ(lines.size(), 12u);
  const char* keys[] = {"{\"tick\":0,", "\"ms\":16,", "\"pos\":", "\"pas_temps\":", "\"horloge\":", "\"fps\":",
                        "\"flags\":[1]", "\"ran\":[1,2]", "\"built\":[\"Party_chargement_anim\"]", "\"cam\":[",
                        "\"viewport\":[0,0,640,480]", "\"field\":", "\"front\":1,", "\"back\":15000,", "\"focale\":9,",
                        "\"light0\":[", "\"seed\":", "\"etape_x\":", "\"etape_logo\":0,", "\"ecran16_n\":0,",
                        "\"charge_pos\":", "\"fondu\":0,", "\"gamma\":{\"r\":[0,257,"};
  size_t at = 0;
  for (const char* k : keys) {
    const size_t found = lines[0].find(k, at);
    ASSERT_NE(found, std::string::npos) << k;
    at = found;
  }
  EXPECT_EQ(lines[0].find("\"close\""), std::string::npos);
  EXPECT_EQ(lines[0].back(), '}');
  // The ramp only when it changes; the virtual clock at 1000/60 ms a tick.
  EXPECT_EQ(lines[1].find("\"gamma\""), std::string::npos);
  EXPECT_NE(lines[1].find("\"tick\":1,\"ms\":33,"), std::string::npos);
  EXPECT_NE(lines[11].find("\"tick\":11,\"ms\":200,"), std::string::npos);
  EXPECT_NE(lines[1].find("\"ran\":[2],\"built\":[]"), std::string::npos);
}

TEST(ShowRunner, DefaultTraceHasExactlyItsKeysAndTheOperatorsOnlyWhenAsked) {
  TempDir dir;
  CurrentDir here(dir.path());
  write_text_file(dir.file("keys.txt"), "# presses nothing\n");
  std::vector<std::string> with_gamma = kTraceKeys;
  with_gamma.push_back("gamma");
  ::testing::internal::CaptureStderr();  // the missing show files
  ASSERT_EQ(capture::play_show(options(1, dir.file("keys.txt"), dir.file("plain.jsonl")), 3, nullptr), 0);
  runner::RunOptions op = options(1, dir.file("keys.txt"), dir.file("op.jsonl"));
  op.trace_operator = true;
  ASSERT_EQ(capture::play_show(op, 3, nullptr), 0);
  ::testing::internal::GetCapturedStderr();

  const std::vector<std::string> plain = lines_of(read_text_file(dir.file("plain.jsonl")));
  ASSERT_EQ(plain.size(), 3u);
  EXPECT_EQ(test::TraceLine(plain[0]).keys(), with_gamma);
  EXPECT_EQ(test::TraceLine(plain[1]).keys(), kTraceKeys);

  const std::vector<std::string> extra = {"cam_auto", "affiche_infos", "vitesse", "light"};
  std::vector<std::string> op_keys = kTraceKeys;
  op_keys.insert(op_keys.end(), extra.begin(), extra.end());
  const std::vector<std::string> traced = lines_of(read_text_file(dir.file("op.jsonl")));
  ASSERT_EQ(traced.size(), 3u);
  EXPECT_EQ(test::TraceLine(traced[1]).keys(), op_keys);
  op_keys.push_back("gamma");
  EXPECT_EQ(test::TraceLine(traced[0]).keys(), op_keys);
  EXPECT_NE(traced[1].find("\"fondu\":0,\"cam_auto\":true,\"affiche_infos\":false,\"vitesse\":10,\"light\":["),
            std::string::npos)
      << traced[1];
}

TEST(ShowRunner, EscInTheScriptEndsTheRunBeforeItsTick) {
  TempDir dir;
  CurrentDir here(dir.path());
  write_text_file(dir.file("keys.txt"), "3 down Esc\n");
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(capture::play_show(options(0, dir.file("keys.txt"), dir.file("t.jsonl")), 0, nullptr), 0);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(lines_of(read_text_file(dir.file("t.jsonl"))).size(), 3u);
}

TEST(ShowRunner, LightFileIsNeverCreatedNorTouched) {
  TempDir dir;
  CurrentDir here(dir.path());
  write_text_file(dir.file("keys.txt"), "# presses nothing\n");
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(capture::play_show(options(1, dir.file("keys.txt"), ""), 5, nullptr), 0);
  EXPECT_FALSE(fs::exists(dir.file("tmp.tmp")));
  write_text_file(dir.file("tmp.tmp"), "X1\r\n");
  ASSERT_EQ(capture::play_show(options(1, dir.file("keys.txt"), ""), 5, nullptr), 0);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(read_text_file(dir.file("tmp.tmp")), "X1\r\n");
}

TEST(ShowRunner, RunsTheWholeChainUntilTheFinaleCloses) {
  TempDir dir;
  if (!link_show_music(dir)) GTEST_SKIP() << "no show folder built";
  CurrentDir here(dir.path());
  runner::RunOptions o = options(0, "", dir.file("t.jsonl"));
  o.ms_per_tick = 2000;
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(capture::play_show(o, 0, nullptr), 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("introsi.jpg"), std::string::npos);
  const std::vector<std::string> lines = lines_of(read_text_file(dir.file("t.jsonl")));
  ASSERT_GT(lines.size(), 10u);
  std::vector<std::string> built;
  for (const std::string& l : lines) {
    const size_t b = l.find("\"built\":[\"");
    if (b == std::string::npos) continue;
    const size_t start = b + 10;
    built.push_back(l.substr(start, l.find('"', start) - start));
    if (l.find("\"Party_chargement_anim3\"") != std::string::npos) {
      EXPECT_NE(l.find("\"ran\":[6]"), std::string::npos) << l;  // Party_4 from the next tick
    }
  }
  EXPECT_EQ(built, (std::vector<std::string>{"Party_chargement_anim", "Party_chargement_anim2",
                                             "Party_chargement_anim4", "Party_chargement_anim5",
                                             "Party_chargement_anim3", "Party_chargement_anim6"}));
  EXPECT_NE(lines.back().find("\"flags\":[6]"), std::string::npos);
  // The ramp is in on tick 0, when the finale's contrast sets it, and as
  // the fade darkens it to black.
  int ramps = 0;
  bool black = false;
  for (const std::string& l : lines) {
    ramps += l.find("\"gamma\"") != std::string::npos;
    black = black || l.find("\"gamma\":{\"r\":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,") != std::string::npos;
  }
  EXPECT_GE(ramps, 3);
  EXPECT_TRUE(black);
  EXPECT_NE(lines.back().find(",\"close\":true}"), std::string::npos);
  for (size_t i = 0; i + 1 < lines.size(); ++i) ASSERT_EQ(lines[i].find("\"close\""), std::string::npos) << i;
}

TEST(ShowRunner, F6InTheFinaleNearTheMusicsEndRunsTheChainBackAndCloses) {
  TempDir dir;
  if (!link_show_music(dir)) GTEST_SKIP() << "no show folder built";
  CurrentDir here(dir.path());
  // A second a tick: the finale runs from about tick 258 to 273 and the
  // music ends at 280 s, so the forest flight from tick 270 on plays across
  // the music's wrap to its start.
  write_text_file(dir.file("keys.txt"), "270 down F6\n271 up F6\n");
  runner::RunOptions o = options(1, dir.file("keys.txt"), dir.file("t.jsonl"));
  o.ms_per_tick = 1000;
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(capture::play_show(o, 1000, nullptr), 0);
  ::testing::internal::GetCapturedStderr();
  const std::vector<std::string> lines = lines_of(read_text_file(dir.file("t.jsonl")));
  ASSERT_GT(lines.size(), 271u);
  EXPECT_NE(lines[270].find("\"built\":[\"Party_chargement_anim2\"]"), std::string::npos) << lines[270];
  EXPECT_LT(lines.size(), 1000u);
  EXPECT_NE(lines.back().find("\"flags\":[6]"), std::string::npos) << lines.back();
  EXPECT_NE(lines.back().find(",\"close\":true}"), std::string::npos) << lines.back();
}
