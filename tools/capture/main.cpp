// quarvel-capture: the show (or a test scene, or a model) headless.
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/build_info.h"
#include "app/show_folder.h"
#include "platform/display/raster_threads.h"
#include "capture.h"
#include "options.h"

int main(int argc, char** argv) {
  using namespace quarvel;
  std::setlocale(LC_ALL, "C");
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--version") {
    std::printf("quarvel-capture %s\n", kVersion);
    return 0;
  }
  capture::Options opt;
  std::string error, note;
  bool help = false;
  if (!capture::parse_options(args, opt, error, help)) {
    std::fprintf(stderr, "quarvel-capture: %s (quarvel-capture --help lists the options)\n", error.c_str());
    return 2;
  }
  if (help) {
    std::fputs(capture::usage(), stdout);
    std::fputs(runner::run_usage(), stdout);
    return 0;
  }
  // A video's frames are not timed: only the whole export's time counts.
  display::choose_raster_threads(!opt.video.empty() && !opt.timedemo ? display::RasterUse::Throughput
                                                                     : display::RasterUse::Frames);
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  if (!capture::choose_show_folder(opt, here, app::program_folder(), note, error)) {
    std::fprintf(stderr, "quarvel-capture: %s\n", error.c_str());
    return 2;
  }
  if (!note.empty()) std::fprintf(stderr, "quarvel-capture: %s\n", note.c_str());
  return capture::run(opt);
}
