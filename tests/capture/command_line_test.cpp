// quarvel-capture and quarvel as a user runs them: their command lines, and
// the show folder the runner plays.
#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/build_info.h"
#include "app/show_folder.h"
#include "options.h"
#include "run_program.h"
#include "video.h"

using namespace quarvel;
using test::ProgramRun;
namespace fs = std::filesystem;

namespace {

const std::string kShowDir = fs::weakly_canonical(fs::path(QUARVEL_BINARY_DIR) / "show").string();

ProgramRun capture_run(const std::vector<std::string>& args, const fs::path& cwd = {}) {
  return test::run_program(test::built_program("quarvel-capture"), args, cwd);
}

fs::path fresh_dir(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("quarvel_cli_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void touch(const fs::path& p) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << "x";
}

// A folder with the two files that mark a show folder.
void make_show_folder(const fs::path& dir) {
  touch(dir / "sik_test.mp3");
  touch(dir / "00000000.dat");
}

bool has_line_starting(const std::vector<std::string>& lines, const std::string& start) {
  for (const auto& l : lines)
    if (l.rfind(start, 0) == 0) return true;
  return false;
}

}  // namespace

TEST(CaptureCommandLine, HelpListsTheOptionsWithTheirDefaults) {
  const ProgramRun r = capture_run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty());
  std::string text;
  for (const auto& l : r.out) text += l + "\n";
  for (const char* expected : {"--ticks N", "(default 100)", "--ms-per-tick MS", "(default 1000/60", "--show DIR",
                               "--test-scene", "--model FILE", "--out DIR"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

TEST(CaptureCommandLine, NumbersOutOfRangeAreRefusedWithTheirRange) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--ticks", "0"}, "--ticks: must be 1 to 100000000"},
      {{"--ticks", "-5"}, "--ticks: must be 1 to 100000000"},
      {{"--ticks", "100000001"}, "--ticks: must be 1 to 100000000"},
      {{"--ticks", "99999999999999999999999"}, "--ticks: must be 1 to 100000000"},
      {{"--ticks", "ten"}, "--ticks: not a whole number: ten"},
      {{"--ms-per-tick", "0"}, "--ms-per-tick: must be above 0 and at most 60000"},
      {{"--ms-per-tick", " 5"}, "--ms-per-tick: not a number:  5"},
      {{"--ms-per-tick", "0x10"}, "--ms-per-tick: not a number: 0x10"},
      {{"--png-every", "-2"}, "--png-every: must be 1 to 100000000"},
      {{"--png-at", "3,-1"}, "--png-at: must be 0 to 99999999"},
      {{"--test-scene", "--detail", "9"}, "--detail: must be 1 to 8"},
      {{"--anim-step", "1e9"}, "--anim-step: must be -1000 to 1000"},
      {{"--test-scene", "--model", "a.x"}, "--test-scene and --model: one mode at a time"},
      {{"--model", "a.x", "--test-scene"}, "--model and --test-scene: one mode at a time"},
      {{"--frames", "3"}, "unknown argument: --frames"},
      {{"--look", "blurry"}, "--look blurry: no such look (sharp, original or smooth)"},
      {{"--look"}, "--look needs a value"},
  };
  for (const Case& c : cases) {
    const ProgramRun r = capture_run(c.args);
    EXPECT_EQ(r.status, 2) << c.message;
    ASSERT_EQ(r.err.size(), 1u) << c.message;
    EXPECT_EQ(r.err[0].rfind("quarvel-capture: " + c.message, 0), 0u) << r.err[0];
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(CaptureCommandLine, LostOutputIsOneLineAndStatus2) {
  // The show's music alone, a second a tick: the show ends by itself after
  // about 274 ticks.
  const fs::path dir = fresh_dir("lost");
  fs::create_symlink(fs::path(kShowDir) / "sik_test.mp3", dir / "sik_test.mp3");
  const std::string full = "No space left on device";
  struct Case {
    std::string program;
    std::vector<std::string> args;
    std::string out_file;  // where standard output goes, when not collected
    std::string message;   // the last line on standard error
  };
  const std::vector<std::string> show = {"--show", ".", "--ms-per-tick", "1000"};
  auto with = [&show](std::vector<std::string> args) {
    args.insert(args.begin(), show.begin(), show.end());
    return args;
  };
  std::vector<Case> cases = {
      {"quarvel-capture", with({"--ticks", "2", "--trace", "/dev/full"}), "",
       "quarvel-capture: /dev/full: cannot write the trace (" + full + ")"},
      {"quarvel-capture", with({"--ticks", "2", "--trace", "-"}), "/dev/full",
       "quarvel-capture: standard output: cannot write the trace (" + full + ")"},
      {"quarvel-capture", with({"--ticks", "2", "--timedemo"}), "/dev/full",
       "quarvel-capture: standard output: cannot write the figures (" + full + ")"},
      {"quarvel-xinfo", {(fs::path(kShowDir) / "00000000.dat").string()}, "/dev/full",
       "quarvel-xinfo: standard output: cannot write (" + full + ")"},
      {"quarvel-capture", with({"--png-at", "400", "--out", "frames"}), "",
       "quarvel-capture: --png-at 400: the show ended before that tick; no picture written for it"},
      {"quarvel-capture", with({"--from", "400", "--out", "frames"}), "",
       "quarvel-capture: --from 400: the show ended before that tick; nothing captured"},
  };
  if (!capture::find_program("ffmpeg").empty()) {
    cases.push_back({"quarvel-capture", with({"--from", "400", "--video", "v.mp4"}), "",
                     "quarvel-capture: --from 400: the show ended before that tick; no video written"});
    cases.push_back({"quarvel-capture", with({"--ticks", "2", "--video", "no-such-folder/v.mp4"}), "",
                     "quarvel-capture: " + (dir / "no-such-folder" / "v.mp4").string() +
                         ": cannot write the video (No such file or directory)"});
  }
  for (const Case& c : cases) {
    const ProgramRun r = test::run_program(test::built_program(c.program), c.args, dir, c.out_file);
    EXPECT_EQ(r.status, 2) << c.message;
    ASSERT_FALSE(r.err.empty()) << c.message;
    EXPECT_EQ(r.err.back(), c.message);
  }
  EXPECT_FALSE(fs::exists(dir / "frames" / "frame_000400.png"));
  EXPECT_FALSE(fs::exists(dir / "v.mp4"));
  fs::remove_all(dir);
}

TEST(CaptureCommandLine, PlaysTheBuildsShowFolderWhenTheCurrentOneHasNoShow) {
  const fs::path dir = fresh_dir("elsewhere");
  const ProgramRun r = capture_run({"--ticks", "2", "--png-at", "1", "--out", "frames"}, dir);
  EXPECT_EQ(r.status, 0);
  ASSERT_FALSE(r.err.empty());
  EXPECT_EQ(r.err[0], "quarvel-capture: playing the show in " + kShowDir);
  // --out stays relative to where the runner was started.
  EXPECT_TRUE(fs::exists(dir / "frames" / "frame_000001.png"));
  fs::remove_all(dir);
}

TEST(CaptureCommandLine, PlaysTheCurrentFolderOrTheGivenOneWithoutANote) {
  const fs::path dir = fresh_dir("given");
  const ProgramRun here = capture_run({"--ticks", "1"}, kShowDir);
  EXPECT_EQ(here.status, 0);
  EXPECT_FALSE(has_line_starting(here.err, "quarvel-capture: playing"));

  const ProgramRun given = capture_run({"--ticks", "1", "--show", kShowDir}, dir);
  EXPECT_EQ(given.status, 0);
  EXPECT_FALSE(has_line_starting(given.err, "quarvel-capture: playing"));

  const ProgramRun missing = capture_run({"--ticks", "1", "--show", "no-such-folder"}, dir);
  EXPECT_EQ(missing.status, 2);
  ASSERT_EQ(missing.err.size(), 1u);
  EXPECT_EQ(missing.err[0].rfind("quarvel-capture: no-such-folder: cannot enter the show folder", 0), 0u)
      << missing.err[0];

  // A folder holding none of the show's files would play a black show.
  const ProgramRun empty = capture_run({"--ticks", "1", "--show", "."}, dir);
  EXPECT_EQ(empty.status, 2);
  EXPECT_EQ(empty.err, std::vector<std::string>{"quarvel-capture: no show files (sik_test.mp3 with 00000000.dat) in ."});
  fs::remove_all(dir);
}

TEST(CaptureCommandLine, RefusesWhenNoFolderHoldsTheShow) {
  // A copy of the runner far from any show folder.
  const fs::path dir = fresh_dir("alone");
  fs::create_directories(dir / "bin");
  fs::create_directories(dir / "work");
  fs::copy_file(test::built_program("quarvel-capture"), dir / "bin" / "quarvel-capture");
  const ProgramRun r = test::run_program((dir / "bin" / "quarvel-capture").string(), {"--ticks", "1"}, dir / "work");
  EXPECT_EQ(r.status, 2);
  ASSERT_EQ(r.err.size(), 1u);
  EXPECT_EQ(r.err[0].rfind("quarvel-capture: no show files (sik_test.mp3 with 00000000.dat) in " +
                               (dir / "work").string(),
                           0),
            0u)
      << r.err[0];
  EXPECT_NE(r.err[0].find("--show DIR"), std::string::npos);

  // The other modes need no show.
  const ProgramRun scene =
      test::run_program((dir / "bin" / "quarvel-capture").string(), {"--test-scene", "--ticks", "1"}, dir / "work");
  EXPECT_EQ(scene.status, 0);
  fs::remove_all(dir);
}

TEST(ShowFolder, TheCurrentFolderThenBesideTheProgramThenTheBuildsThenTheInstalledShowFolder) {
  const fs::path root = fresh_dir("folders");
  const fs::path here = root / "here", bin = root / "build" / "bin", show = root / "build" / "show";
  const fs::path installed = root / "build" / "share" / "games" / "quarvel";
  fs::create_directories(here);
  fs::create_directories(bin);
  fs::create_directories(show);
  EXPECT_EQ(app::show_folder_candidates(here, bin), (std::vector<fs::path>{here, bin, show, installed}));
  EXPECT_EQ(app::show_folder_candidates(here, {}), (std::vector<fs::path>{here}));
  EXPECT_EQ(app::show_folder_candidates(show, bin), (std::vector<fs::path>{show, bin, installed}));

  // The music alone marks the window program's folder; the runner wants the first model too.
  touch(show / "sik_test.mp3");
  EXPECT_TRUE(app::holds_music(show));
  EXPECT_FALSE(app::holds_show_files(show));
  EXPECT_FALSE(app::holds_music(here));

  capture::Options opt;
  std::string note, error;
  EXPECT_FALSE(capture::choose_show_folder(opt, here, bin, note, error));
  EXPECT_EQ(error, "no show files (sik_test.mp3 with 00000000.dat) in " + app::folder_list({here, bin, show, installed}) +
                       "; give the show folder with --show DIR");

  make_show_folder(show);
  ASSERT_TRUE(capture::choose_show_folder(opt, here, bin, note, error));
  EXPECT_EQ(opt.show_dir, show.string());
  EXPECT_EQ(note, "playing the show in " + show.string());

  make_show_folder(bin);  // files beside the program come first
  opt.show_dir.clear();
  ASSERT_TRUE(capture::choose_show_folder(opt, here, bin, note, error));
  EXPECT_EQ(opt.show_dir, bin.string());

  make_show_folder(here);  // and the current folder before both, without a note
  opt.show_dir.clear();
  ASSERT_TRUE(capture::choose_show_folder(opt, here, bin, note, error));
  EXPECT_TRUE(opt.show_dir.empty());
  EXPECT_TRUE(note.empty());
  fs::remove_all(root);
}

// A copy of the runner in `bin` (a link would be followed back to the build)
// and, when given, the show's files linked into `show`, all but those named
// in `left_out`.
fs::path place_runner(const fs::path& bin, const fs::path& show = {}, const std::vector<std::string>& left_out = {}) {
  fs::create_directories(bin);
  fs::copy_file(test::built_program("quarvel-capture"), bin / "quarvel-capture", fs::copy_options::overwrite_existing);
  if (!show.empty()) {
    fs::create_directories(show);
    for (const auto& e : fs::directory_iterator(kShowDir)) {
      const std::string name = e.path().filename().string();
      if (std::find(left_out.begin(), left_out.end(), name) == left_out.end() && !fs::exists(show / name))
        fs::create_symlink(e.path(), show / name);
    }
  }
  return bin / "quarvel-capture";
}

std::string read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ShowFolder, EveryWayOfStartingPlaysTheSameTexturedShow) {
  // A tick with the title backdrop behind the moss-textured hills; textures
  // are the files the show finds beside the program, in the folder it plays.
  const int tick = 600;
  const std::vector<std::string> frame_args = {"--from", std::to_string(tick), "--ticks", std::to_string(tick + 1),
                                               "--png-at", std::to_string(tick), "--out"};
  const fs::path root = fresh_dir("places"), away = root / "away";
  fs::create_directories(away);
  struct Place {
    std::string name;
    fs::path program, cwd;
    std::vector<std::string> args;
  };
  const std::vector<Place> places = {
      {"the build, from its show folder", test::built_program("quarvel-capture"), kShowDir, {}},
      {"the build, from elsewhere", test::built_program("quarvel-capture"), away, {}},
      {"the build, given the show folder", test::built_program("quarvel-capture"), away, {"--show", kShowDir}},
      {"beside the show's files", place_runner(root / "beside", root / "beside"), away, {}},
      {"installed", place_runner(root / "usr" / "games", root / "usr" / "share" / "games" / "quarvel"), away, {}},
      {"installed without textures",
       place_runner(root / "bare" / "games", root / "bare" / "share" / "games" / "quarvel",
                    {"greenmos.bmp", "fire.BMP", "arbre1.bmp", "explo.BMP", "introsi.bmp", "introsi.jpg"}),
       away, {}},
  };
  std::vector<std::string> frames;
  for (size_t i = 0; i < places.size(); ++i) {
    const Place& p = places[i];
    std::vector<std::string> args = p.args;
    args.insert(args.end(), frame_args.begin(), frame_args.end());
    args.push_back((root / ("frames" + std::to_string(i))).string());
    const ProgramRun r = test::run_program(p.program.string(), args, p.cwd);
    EXPECT_EQ(r.status, 0) << p.name;
    frames.push_back(read_bytes(root / ("frames" + std::to_string(i)) / ("frame_000" + std::to_string(tick) + ".png")));
    EXPECT_FALSE(frames.back().empty()) << p.name;
  }
  for (size_t i = 1; i + 1 < places.size(); ++i) EXPECT_TRUE(frames[i] == frames[0]) << places[i].name;
  EXPECT_FALSE(frames.back() == frames[0]) << "the frame does not show the textures";
  fs::remove_all(root);
}

TEST(ShowFolder, OnlyAShowRunWithoutAGivenFolderLooksForOne) {
  const fs::path root = fresh_dir("nolook");
  capture::Options model;
  model.mode = capture::Options::Mode::Model;
  std::string note, error;
  EXPECT_TRUE(capture::choose_show_folder(model, root, root, note, error));
  EXPECT_TRUE(model.show_dir.empty());

  capture::Options given;
  given.show_dir = "somewhere";
  EXPECT_TRUE(capture::choose_show_folder(given, root, root, note, error));
  EXPECT_EQ(given.show_dir, "somewhere");
  EXPECT_TRUE(note.empty());
  fs::remove_all(root);
}

TEST(QuarvelCommandLine, HelpSaysWhatItIsItsKeysAndWhereItLooks) {
  const ProgramRun r = test::run_program(test::built_program("quarvel"), {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty());
  std::string text;
  for (const auto& l : r.out) text += l + "\n";
  for (const char* expected : {"usage: quarvel", "Esc", "Alt+Enter", "sik_test.mp3", "current folder",
                               "beside the program", "--window[=WxH]", "--scene NAME|N", "quarvel.conf", "F1",
                               "--look", "F11", "F12", "quarvel-TICK.png"})
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
}

TEST(QuarvelCommandLine, RefusesArgumentsItDoesNotKnow) {
  for (const std::string bad : {"--windowed", "show", "-x"}) {
    const ProgramRun r = test::run_program(test::built_program("quarvel"), {bad});
    EXPECT_EQ(r.status, 2) << bad;
    ASSERT_EQ(r.err.size(), 1u) << bad;
    EXPECT_EQ(r.err[0].rfind("quarvel: unknown argument: " + bad, 0), 0u) << r.err[0];
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(AssetsCommandLine, HelpAndUnknownOptionsWriteNoFolder) {
  const fs::path dir = fresh_dir("assets_options");
  const ProgramRun help = test::run_program(test::built_program("quarvel-assets"), {"--help"}, dir);
  EXPECT_EQ(help.status, 0);
  ASSERT_EQ(help.out.size(), 1u);
  EXPECT_EQ(help.out[0].rfind("usage: quarvel-assets OUTDIR", 0), 0u);
  const ProgramRun bad = test::run_program(test::built_program("quarvel-assets"), {"--out"}, dir);
  EXPECT_EQ(bad.status, 2);
  ASSERT_FALSE(bad.err.empty());
  EXPECT_EQ(bad.err[0], "quarvel-assets: unknown option: --out");
  EXPECT_TRUE(fs::is_empty(dir)) << "an option became a folder";
  fs::remove_all(dir);
}

TEST(EveryProgram, SaysTheBuildsVersion) {
  for (const std::string name : {"quarvel", "quarvel-capture", "quarvel-xinfo", "quarvel-assets"}) {
    const ProgramRun r = test::run_program(test::built_program(name), {"--version"});
    EXPECT_EQ(r.status, 0) << name;
    EXPECT_EQ(r.out, std::vector<std::string>{name + " " + kVersion}) << name;
    EXPECT_TRUE(r.err.empty()) << name;
  }
}
