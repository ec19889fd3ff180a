// Seeking with --from, and the same output from the same run.
#include <gtest/gtest.h>

#include <fstream>

#include "capture.h"
#include "capture_run.h"
#include "options.h"

using namespace quarvel;
namespace fs = std::filesystem;

namespace {

bool parses(const std::vector<std::string>& args, capture::Options& opt, std::string& error) {
  bool help = false;
  return capture::parse_options(args, opt, error, help);
}

std::string png(const fs::path& dir, int tick) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", tick);
  return test::file_bytes(dir / name);
}

}  // namespace

TEST(SeekOptions, FromAndTheNewOptionsParseAndRefuse) {
  capture::Options opt;
  std::string error;
  ASSERT_TRUE(parses({"--ticks", "50", "--from", "20", "--video", "v.mp4", "--scale", "3", "--timedemo", "--json"},
                     opt, error))
      << error;
  EXPECT_EQ(opt.show_run.from, 20);
  EXPECT_EQ(opt.video, "v.mp4");
  EXPECT_EQ(opt.scale, 3);
  EXPECT_TRUE(opt.timedemo);
  EXPECT_TRUE(opt.json);
  for (std::vector<std::string> bad :
       {std::vector<std::string>{"--from", "-1"}, {"--ticks", "10", "--from", "10"}, {"--from", "5", "--png-at", "4"},
        {"--json"}, {"--scale", "2"}, {"--video", "v.mp4", "--scale", "9"}, {"--video", ""},
        {"--test-scene", "--timedemo"}, {"--model", "m.x", "--video", "v.mp4"}, {"--test-scene", "--from", "3"}}) {
    capture::Options o;
    std::string e;
    EXPECT_FALSE(parses(bad, o, e)) << bad[0] << " " << bad[1];
    EXPECT_FALSE(e.empty());
  }
}

TEST(Seek, FramesAndTraceFromTickAreThoseOfAFullRun) {
  const fs::path full = test::fresh_folder("seek_full");
  const fs::path seek = test::fresh_folder("seek_from");
  // Second-long ticks reach the scenes after the loading display quickly: the
  // seek lands in the third step's scene and the run goes on into the fifth's.
  const std::vector<std::string> common = {"--ticks", "175", "--ms-per-tick", "1000", "--png-at", "140,141,174"};
  auto with = [&](const fs::path& dir, std::vector<std::string> extra) {
    std::vector<std::string> args = common;
    args.insert(args.end(), {"--out", dir.string(), "--trace", (dir / "t.jsonl").string()});
    args.insert(args.end(), extra.begin(), extra.end());
    return test::run_capture(args);
  };
  ASSERT_EQ(with(full, {}).status, 0);
  ASSERT_EQ(with(seek, {"--from", "140"}).status, 0);
  for (int tick : {140, 141, 174}) {
    const std::string a = png(full, tick);
    ASSERT_FALSE(a.empty()) << tick;
    EXPECT_TRUE(a == png(seek, tick)) << "tick " << tick;
  }
  EXPECT_FALSE(png(full, 140) == png(full, 174));  // the pictures do move
  // The skipped ticks ran all the same: the traces agree line for line.
  const std::string trace = test::file_bytes(full / "t.jsonl");
  const auto lines = test::lines_of(trace);
  ASSERT_EQ(lines.size(), 175u);
  EXPECT_NE(lines[140].find("\"flags\":[2]"), std::string::npos) << lines[140].substr(0, 120);
  EXPECT_TRUE(trace == test::file_bytes(seek / "t.jsonl"));
  fs::remove_all(full);
  fs::remove_all(seek);
}

TEST(Seek, SameRunWritesTheSamePicturesAndTrace) {
  std::vector<fs::path> dirs = {test::fresh_folder("same_a"), test::fresh_folder("same_b")};
  for (const auto& dir : dirs) {
    auto run = test::run_capture({"--ticks", "90", "--ms-per-tick", "200", "--png-every", "30", "--out",
                                  dir.string(), "--trace", (dir / "t.jsonl").string()});
    ASSERT_EQ(run.status, 0);
  }
  for (int tick : {0, 30, 60}) {
    const std::string a = png(dirs[0], tick);
    ASSERT_FALSE(a.empty());
    EXPECT_TRUE(a == png(dirs[1], tick)) << tick;
  }
  const std::string trace = test::file_bytes(dirs[0] / "t.jsonl");
  EXPECT_FALSE(trace.empty());
  EXPECT_TRUE(trace == test::file_bytes(dirs[1] / "t.jsonl"));
  for (const auto& dir : dirs) fs::remove_all(dir);
}

// A pause holds the show: while the runner's frames go by no tick runs, the
// clock stands still and the music holds, so the trace is that of the run
// without the pause (the paused frames write no lines) and so are the
// pictures after it.
TEST(Seek, APausedRunTracesAsTheUnpausedOne) {
  const fs::path plain = test::fresh_folder("pause_plain");
  const fs::path paused = test::fresh_folder("pause_held");
  {
    std::ofstream script(paused / "pause.txt");
    script << "40 pause 25\n70 pause 1\n";
  }
  auto run = [](const fs::path& dir, std::vector<std::string> extra) {
    std::vector<std::string> args = {"--ticks", "90",  "--ms-per-tick", "100", "--png-at", "41,89", "--out",
                                     dir.string(), "--trace", (dir / "t.jsonl").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::run_capture(args).status;
  };
  ASSERT_EQ(run(plain, {}), 0);
  ASSERT_EQ(run(paused, {"--input", (paused / "pause.txt").string()}), 0);
  const std::string trace = test::file_bytes(plain / "t.jsonl");
  ASSERT_EQ(test::lines_of(trace).size(), 90u);
  EXPECT_TRUE(trace == test::file_bytes(paused / "t.jsonl"));
  for (int tick : {41, 89}) EXPECT_TRUE(png(plain, tick) == png(paused, tick)) << tick;
  fs::remove_all(plain);
  fs::remove_all(paused);
}

// --scene runs the ticks before a scene unseen and starts drawing at its
// first tick, the one after its builder ran: the explosion's builder runs a
// tick before its step does. Trace and picture are those of the whole run.
TEST(Seek, ASceneStartsAtItsFirstTickAsInTheWholeRun) {
  const fs::path whole = test::fresh_folder("scene_whole");
  const fs::path scene = test::fresh_folder("scene_seek");
  auto run = [](const fs::path& dir, std::vector<std::string> extra) {
    std::vector<std::string> args = {"--ticks", "240", "--ms-per-tick", "1000", "--out", dir.string(),
                                     "--trace", (dir / "t.jsonl").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::run_capture(args).status;
  };
  ASSERT_EQ(run(scene, {"--scene", "explosion", "--png-every", "1"}), 0);
  const std::string trace = test::file_bytes(scene / "t.jsonl");
  const auto lines = test::lines_of(trace);
  ASSERT_EQ(lines.size(), 240u);
  // The tick whose flags first hold the explosion step (Party_4, flag 3), and the first picture.
  int built = -1;
  for (size_t i = 0; i < lines.size() && built < 0; ++i)
    if (lines[i].find("\"flags\":[3]") != std::string::npos) built = static_cast<int>(i);
  ASSERT_GT(built, 100);
  int first = -1;
  for (int t = 0; t < 240 && first < 0; ++t)
    if (!png(scene, t).empty()) first = t;
  EXPECT_EQ(first, built + 1);
  ASSERT_EQ(run(whole, {"--png-at", std::to_string(built + 1)}), 0);
  EXPECT_TRUE(trace == test::file_bytes(whole / "t.jsonl"));
  EXPECT_TRUE(png(whole, built + 1) == png(scene, built + 1));
  fs::remove_all(whole);
  fs::remove_all(scene);
}

// The player's keys are none the show reads: held through the whole show
// (the scenes' merged states and the finale's keys included), its trace
// with the operator's values is that of a run without them.
TEST(Seek, ThePlayersKeysChangeNothingInTheShow) {
  const fs::path plain = test::fresh_folder("keys_plain");
  const fs::path held = test::fresh_folder("keys_held");
  {
    std::ofstream script(held / "keys.txt");
    // Ctrl, F1, Pause, F12, minus, equals, M, the two brackets.
    for (int key : {17, 112, 19, 123, 189, 187, 77, 219, 221}) script << "0 down " << key << "\n";
  }
  auto run = [](const fs::path& dir, std::vector<std::string> extra) {
    std::vector<std::string> args = {"--ticks", "270", "--ms-per-tick", "1000", "--from", "265", "--trace-operator",
                                     "--trace", (dir / "t.jsonl").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return test::run_capture(args).status;
  };
  ASSERT_EQ(run(plain, {}), 0);
  ASSERT_EQ(run(held, {"--input", (held / "keys.txt").string()}), 0);
  const std::string trace = test::file_bytes(plain / "t.jsonl");
  const auto lines = test::lines_of(trace);
  ASSERT_EQ(lines.size(), 270u);
  EXPECT_NE(lines.back().find("\"flags\":[6]"), std::string::npos) << "the run ends in the finale";
  EXPECT_TRUE(trace == test::file_bytes(held / "t.jsonl"));
  fs::remove_all(plain);
  fs::remove_all(held);
}
