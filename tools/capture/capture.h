#pragma once
// The headless runner: drives the show (or a test scene, or one model file)
// with no display, from a virtual clock, and writes chosen frames as PNG.
#include <set>
#include <string>
#include <vector>

#include "show_runner.h"

namespace quarvel::capture {

struct Options {
  enum class Mode { Show, TestScene, Model };
  Mode mode = Mode::Show;
  int png_every = 0;         // also every Nth tick when > 0
  std::string out = ".";
  std::string show_dir;      // --show DIR: the folder with the show's files
  int detail = 1;            // test scene tessellation
  std::string model;         // --model FILE
  std::string texture;       // --texture PICTURE
  float anim_step = 0.0f;    // model animation time advanced each tick
  runner::RunOptions show_run;  // --ticks, --png-at (the ticks to write), and in show mode --input, --trace,
                              // --ms-per-tick, --from, run to the end
  std::string video;         // --video FILE.mp4: the show with its music, through ffmpeg
  int scale = 1;             // --scale N: the video N times 640 x 480
  bool timedemo = false;     // --timedemo: time every tick, print the figures at the end
  bool json = false;         // --json: those figures as one JSON object
};

// Parses the command line (without argv[0]). Returns false with a message
// for bad arguments; `help` is set for --help.
bool parse_options(const std::vector<std::string>& args, Options& opt, std::string& error, bool& help);

const char* usage();

// Runs and returns the process status: 0, 1 for a display failure, 2 for
// bad input (a model that does not load, an output folder that cannot be
// written).
int run(const Options& opt);

}  // namespace quarvel::capture
