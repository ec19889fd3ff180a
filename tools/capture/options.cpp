#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "app/music_startup.h"
#include "app/show_folder.h"
#include "platform/common/number_text.h"

namespace quarvel::capture {
namespace {

const char* mode_flag(Options::Mode mode) {
  switch (mode) {
    case Options::Mode::TestScene: return "--test-scene";
    case Options::Mode::Model: return "--model";
    case Options::Mode::Show: break;
  }
  return "the show";
}

}  // namespace

bool set_mode(Options& opt, Options::Mode mode, std::string& error) {
  if (opt.mode != Options::Mode::Show && opt.mode != mode) {
    error = std::string(mode_flag(opt.mode)) + " and " + mode_flag(mode) + ": one mode at a time";
    return false;
  }
  opt.mode = mode;
  return true;
}

bool choose_show_folder(Options& opt, const std::filesystem::path& current, const std::filesystem::path& program_dir,
                        std::string& note, std::string& error) {
  note.clear();
  if (opt.mode != Options::Mode::Show) return true;
  const std::string marks = std::string("no show files (") + app::kMusicFile + " with " + app::kFirstModelFile + ") in ";
  if (!opt.show_dir.empty()) {
    // A given folder that holds neither file would play a black, silent
    // show; one that is missing is said when the run enters it.
    const std::filesystem::path given = current / opt.show_dir;
    std::error_code ec;
    if (std::filesystem::is_directory(given, ec) && !app::holds_music(given) &&
        !std::filesystem::exists(given / app::kFirstModelFile, ec)) {
      error = marks + opt.show_dir;
      return false;
    }
    return true;
  }
  const auto folders = app::show_folder_candidates(current, program_dir);
  for (size_t i = 0; i < folders.size(); ++i) {
    if (app::holds_show_files(folders[i])) {
      if (i > 0) {
        opt.show_dir = folders[i].string();
        note = "playing the show in " + opt.show_dir;
      }
      return true;
    }
  }
  error = marks + app::folder_list(folders) + "; give the show folder with --show DIR";
  return false;
}

const char* usage() {
  return "usage: quarvel-capture [options]\n"
         "Runs the show headless (no display needed) on a virtual clock and writes the\n"
         "presented picture of chosen ticks (0-based) as DIR/frame_00000K.png.\n"
         "\n"
         "  --ticks N          ticks to run, 1 to 100000000 (default 100); a show run\n"
         "                     without it goes on until the show ends\n"
         "  --png-at K[,K...]  write the picture of tick K, 0 to 99999999 (repeatable)\n"
         "  --png-every N      also write every Nth tick, 1 to 100000000 (default: none)\n"
         "  --out DIR          folder for the pictures (default: the current folder)\n"
         "  --show DIR         the show folder, where the show's files are (default: the\n"
         "                     current folder when it holds sik_test.mp3 and 00000000.dat,\n"
         "                     else the show folder beside the program, build/show,\n"
         "                     or the installed /usr/share/games/quarvel)\n"
         "\n"
         "  --from TICK        run the ticks before TICK without rendering or presenting\n"
         "                     them (the show's state is the same) and capture from TICK\n"
         "  --video FILE.mp4   write the show as H.264 video (yuv420p, one frame a tick)\n"
         "                     with its music as AAC; needs the ffmpeg program\n"
         "    --scale N        the video N times 640 x 480, crisp pixels, 1 to 8 (default 1)\n"
         "  --no-pictures      run the show without drawing it (no GL needed), for its\n"
         "                     trace; goes with no picture, video or timedemo\n"
         "  --timedemo         time every tick (steps, render, flip) and print frames, wall\n"
         "                     time, frames a second and frame times, overall and per scene\n"
         "    --json           print those figures as one JSON object\n"
         "  On a terminal, video, timedemo and whole-show PNG runs show a progress line.\n"
         "\n"
         "Instead of the show, one of these modes:\n"
         "  --test-scene       the renderer's built-in test scene\n"
         "    --detail N       its tessellation, 1 to 8 (default 1)\n"
         "  --model FILE       one model file turning in front of the camera\n"
         "    --texture PICTURE  put this picture on all its faces (default: its own)\n"
         "    --anim-step T    animation time added per tick, -1000 to 1000 (default 0)\n"
         "\n"
         "  --version          print the program's version and exit\n"
         "\n"
         "Exit status: 0 done, 1 no rendering available, 2 bad arguments or files.\n";
}

bool parse_options(const std::vector<std::string>& args, Options& opt, std::string& error, bool& help) {
  help = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) { return runner::option_value(args, i, out, error); };
    auto int_value = [&](int& out, int lo, int hi) { return runner::option_int(args, i, lo, hi, out, error); };
    const runner::OptionRead run_option = runner::read_run_option(args, i, opt.show_run, error);
    if (run_option == runner::OptionRead::Bad) return false;
    if (run_option == runner::OptionRead::Read) continue;
    if (a == "--help" || a == "-h") {
      help = true;
      return true;
    } else if (a == "--png-every") {
      if (!int_value(opt.png_every, 1, kMaxTicks)) return false;
    } else if (a == "--show") {
      if (!value(opt.show_dir)) return false;
    } else if (a == "--out") {
      if (!value(opt.out)) return false;
    } else if (a == "--video") {
      if (!value(opt.video)) return false;
      if (opt.video.empty()) {
        error = "--video needs a file name";
        return false;
      }
    } else if (a == "--scale") {
      if (!int_value(opt.scale, 1, 8)) return false;
    } else if (a == "--no-pictures") {
      opt.show_run.draw = false;
    } else if (a == "--timedemo") {
      opt.timedemo = true;
    } else if (a == "--json") {
      opt.json = true;
    } else if (a == "--test-scene") {
      if (!set_mode(opt, Options::Mode::TestScene, error)) return false;
    } else if (a == "--detail") {
      if (!int_value(opt.detail, 1, 8)) return false;
    } else if (a == "--model") {
      if (!value(opt.model) || !set_mode(opt, Options::Mode::Model, error)) return false;
    } else if (a == "--texture") {
      if (!value(opt.texture)) return false;
    } else if (a == "--anim-step") {
      std::string s;
      double step = 0;
      if (!value(s) || !parse_number_in(a, s, -1000.0, 1000.0, step, error)) return false;
      opt.anim_step = static_cast<float>(step);
    } else {
      error = "unknown argument: " + a;
      return false;
    }
  }
  // A show run without --ticks goes on until the show ends: any tick may come.
  const bool open_ended = opt.mode == Options::Mode::Show && !opt.show_run.ticks_given;
  if (!runner::check_run_options(opt.show_run, open_ended, error)) return false;
  if (opt.mode != Options::Mode::Show) {
    const char* show_only = !opt.video.empty()     ? "--video"
                            : opt.timedemo         ? "--timedemo"
                            : opt.show_run.from > 0 ? "--from"
                                                   : nullptr;
    if (show_only) {
      error = std::string(show_only) + " goes with the show, not another mode";
      return false;
    }
  }
  if (!opt.show_run.draw) {
    const char* pictures = opt.mode != Options::Mode::Show ? "another mode"
                           : !opt.show_run.png_at.empty() ? "--png-at"
                           : opt.png_every > 0            ? "--png-every"
                           : !opt.video.empty()           ? "--video"
                           : opt.timedemo                 ? "--timedemo"
                                                          : nullptr;
    if (pictures) {
      error = std::string("--no-pictures goes with the show alone, not ") + pictures;
      return false;
    }
  }
  if (opt.json && !opt.timedemo) {
    error = "--json goes with --timedemo";
    return false;
  }
  if (opt.scale != 1 && opt.video.empty()) {
    error = "--scale goes with --video";
    return false;
  }
  if (!opt.texture.empty() && opt.mode != Options::Mode::Model) {
    error = "--texture goes with --model";
    return false;
  }
  return true;
}

}  // namespace quarvel::capture
