#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "capture.h"
#include "capture_run.h"
#include "platform/common/picture_file.h"

using namespace quarvel;
namespace fs = std::filesystem;

namespace {

fs::path fresh_dir(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / ("quarvel_capture_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  return dir;
}

capture::Options parse(const std::vector<std::string>& args) {
  capture::Options opt;
  std::string error;
  bool help = false;
  EXPECT_TRUE(capture::parse_options(args, opt, error, help)) << error;
  return opt;
}

int distinct_colours(const Picture& p) {
  std::vector<uint32_t> v(p.pixels);
  std::sort(v.begin(), v.end());
  return static_cast<int>(std::unique(v.begin(), v.end()) - v.begin());
}

}  // namespace

TEST(CaptureOptions, ParsesAndRefusesArguments) {
  capture::Options opt = parse({"--ticks", "10", "--png-at", "9,3", "--png-at", "5", "--out", "/tmp/x"});
  EXPECT_EQ(opt.show_run.ticks, 10);
  EXPECT_EQ(opt.show_run.png_at, (std::set<int>{3, 5, 9}));
  EXPECT_EQ(opt.out, "/tmp/x");
  EXPECT_EQ(opt.mode, capture::Options::Mode::Show);
  EXPECT_TRUE(opt.show_run.draw);
  EXPECT_FALSE(parse({"--no-pictures", "--trace", "t.jsonl"}).show_run.draw);

  for (std::vector<std::string> bad : {std::vector<std::string>{"--ticks"}, {"--ticks", "ten"}, {"--ticks", "-1"},
                                       {"--png-at", "1,,2"}, {"--bogus"}, {"--texture", "a.bmp"},
                                       {"--test-scene", "--detail", "99"}, {"--anim-step", "x"},
                                       {"--ticks", "3", "--png-at", "3"}, {"--png-every", "0"},
                                       {"--no-pictures", "--png-at", "3"}, {"--no-pictures", "--timedemo"},
                                       {"--test-scene", "--no-pictures"}}) {
    capture::Options o;
    std::string error;
    bool help = false;
    EXPECT_FALSE(capture::parse_options(bad, o, error, help)) << bad[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(Capture, RunsTheShowHeadlessAndWritesTheChosenFrame) {
  const fs::path dir = fresh_dir("show");
  capture::Options opt = parse({"--ticks", "10", "--png-at", "9", "--out", dir.string()});
  ASSERT_EQ(capture::run(opt), 0);
  EXPECT_TRUE(fs::exists(dir / "frame_000009.png"));
  EXPECT_FALSE(fs::exists(dir / "frame_000008.png"));
  Picture p;
  std::string error;
  ASSERT_TRUE(load_picture((dir / "frame_000009.png").string(), p, error)) << error;
  EXPECT_EQ(p.width, 640);
  EXPECT_EQ(p.height, 480);
  fs::remove_all(dir);
}

TEST(Capture, EveryLookHasTheSameTraceAndItsOwnPicture) {
  // The first ten seconds of the show in six ticks: the smooth look's
  // anisotropic filtering costs llvmpipe seconds a tick.
  const fs::path dir = test::fresh_folder("looks");
  std::vector<std::string> traces;
  std::vector<Picture> pictures;
  for (const char* look : {"sharp", "original", "smooth"}) {
    const fs::path out = dir / look;
    const auto run = test::run_capture({"--ticks", "6", "--ms-per-tick", "1600", "--look", look, "--trace",
                                        (out / "trace.jsonl").string(), "--png-at", "5", "--out", out.string()});
    ASSERT_EQ(run.status, 0) << look;
    traces.push_back(test::file_bytes(out / "trace.jsonl"));
    ASSERT_FALSE(traces.back().empty()) << look;
    Picture p;
    std::string error;
    ASSERT_TRUE(load_picture((out / "frame_000005.png").string(), p, error)) << error;
    pictures.push_back(p);
  }
  EXPECT_TRUE(traces[1] == traces[0]) << "original";
  EXPECT_TRUE(traces[2] == traces[0]) << "smooth";
  EXPECT_EQ(pictures[1].width, 640);
  EXPECT_TRUE(pictures[1].pixels != pictures[0].pixels);
  EXPECT_EQ(pictures[2].width, 1280);  // the headless smooth look: twice the size
  EXPECT_EQ(pictures[2].height, 960);
  fs::remove_all(dir);
}

TEST(Capture, PicturesReadLateAreThoseOfTheirTicksUpToTheLast) {
  // Every tick written (many pictures in flight at once) against two ticks
  // alone: the same bytes for the same tick, and the last tick's picture,
  // still being read when the run ends, is there.
  const fs::path every = test::fresh_folder("late_every"), two = test::fresh_folder("late_two");
  const int ticks = 12;
  auto run = test::run_capture({"--ticks", std::to_string(ticks), "--ms-per-tick", "100", "--png-every", "1",
                                "--out", every.string()});
  ASSERT_EQ(run.status, 0);
  run = test::run_capture({"--ticks", std::to_string(ticks), "--ms-per-tick", "100", "--png-at", "4,11", "--out",
                           two.string()});
  ASSERT_EQ(run.status, 0);
  std::vector<std::string> bytes;
  for (int tick = 0; tick < ticks; ++tick) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06d.png", tick);
    bytes.push_back(test::file_bytes(every / name));
    ASSERT_FALSE(bytes.back().empty()) << name;
  }
  EXPECT_TRUE(test::file_bytes(two / "frame_000004.png") == bytes[4]);
  EXPECT_TRUE(test::file_bytes(two / "frame_000011.png") == bytes[11]);
  // Neighbouring ticks differ, so a picture handed to the wrong tick shows.
  EXPECT_TRUE(bytes[3] != bytes[4]);
  EXPECT_TRUE(bytes[10] != bytes[11]);
  fs::remove_all(every);
  fs::remove_all(two);
}

TEST(Capture, TestSceneShowsTheRendererAtWork) {
  const fs::path dir = fresh_dir("scene");
  capture::Options opt = parse({"--test-scene", "--ticks", "3", "--png-every", "2", "--out", dir.string()});
  ASSERT_EQ(capture::run(opt), 0);
  EXPECT_TRUE(fs::exists(dir / "frame_000000.png"));
  EXPECT_TRUE(fs::exists(dir / "frame_000002.png"));
  Picture p;
  std::string error;
  ASSERT_TRUE(load_picture((dir / "frame_000002.png").string(), p, error)) << error;
  EXPECT_GT(distinct_colours(p), 100);  // lit, textured, fogged: far from a flat clear
  fs::remove_all(dir);
}

TEST(Capture, ModelViewerShowsAModelAndRefusesBadFiles) {
  const fs::path dir = fresh_dir("model");
  const std::string cube = std::string(QUARVEL_TESTDATA_DIR) + "/x/assimp/test_cube_text.x";
  capture::Options opt = parse({"--model", cube, "--ticks", "2", "--png-at", "1", "--out", dir.string()});
  ASSERT_EQ(capture::run(opt), 0);
  Picture p;
  std::string error;
  ASSERT_TRUE(load_picture((dir / "frame_000001.png").string(), p, error)) << error;
  // The cube fills part of the picture around its centre; the corners show the background.
  EXPECT_NE(p.at(320, 240), p.at(2, 2));
  EXPECT_EQ(p.at(2, 2), p.at(637, 477));

  capture::Options missing = parse({"--model", (dir / "nope.x").string(), "--ticks", "1"});
  EXPECT_EQ(capture::run(missing), 2);
  const std::string damaged = std::string(QUARVEL_TESTDATA_DIR) + "/x/assimp/malformed/empty.x";
  capture::Options bad = parse({"--model", damaged, "--ticks", "1"});
  EXPECT_EQ(capture::run(bad), 2);
  fs::remove_all(dir);
}
