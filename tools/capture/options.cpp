#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>
#include <system_error>

#include "app/music_startup.h"
#include "app/show_folder.h"
#include "runner/chapters.h"
#include "runner/command_line.h"
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
         "  --scene NAME|N     the same up to a scene's first tick: opening, forest, edge,\n"
         "                     model, explosion, finale (or 1 to 6)\n"
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

std::vector<runner::OptionSpec> option_specs(Options& opt, bool& help) {
  using Takes = runner::OptionSpec::Takes;
  using Value = std::optional<std::string>;
  std::vector<runner::OptionSpec> specs = runner::run_option_specs(opt.show_run);
  auto text = [&](const char* name, std::string& out, bool needs_text = false) {
    specs.push_back({name, Takes::Value, [name, &out, needs_text](const Value& v, std::string& error) {
                       if (needs_text && v->empty()) {
                         error = std::string(name) + " needs a file name";
                         return false;
                       }
                       out = *v;
                       return true;
                     }});
  };
  auto whole = [&](const char* name, int& out, int lo, int hi) {
    specs.push_back({name, Takes::Value, [name, &out, lo, hi](const Value& v, std::string& error) {
                       return parse_int_in(name, *v, lo, hi, out, error);
                     }});
  };
  auto flag = [&](const char* name, bool& out) {
    specs.push_back({name, Takes::Nothing, [&out](const Value&, std::string&) { return out = true; }});
  };
  auto mode = [&](const char* name, Options::Mode m, std::string* value) {
    specs.push_back({name, value ? Takes::Value : Takes::Nothing, [&opt, m, value](const Value& v, std::string& error) {
                       if (value) *value = *v;
                       return set_mode(opt, m, error);
                     }});
  };
  flag("--help,-h", help);
  whole("--png-every", opt.png_every, 1, kMaxTicks);
  text("--show", opt.show_dir);
  text("--out", opt.out);
  text("--video", opt.video, true);
  whole("--scale", opt.scale, 1, 8);
  flag("--timedemo", opt.timedemo);
  flag("--json", opt.json);
  specs.push_back({"--no-pictures", Takes::Nothing, [&opt](const Value&, std::string&) {
                     opt.show_run.draw = false;
                     return true;
                   }});
  mode("--test-scene", Options::Mode::TestScene, nullptr);
  whole("--detail", opt.detail, 1, 8);
  mode("--model", Options::Mode::Model, &opt.model);
  text("--texture", opt.texture);
  specs.push_back({"--anim-step", Takes::Value, [&opt](const Value& v, std::string& error) {
                     double step = 0;
                     if (!parse_number_in("--anim-step", *v, -1000.0, 1000.0, step, error)) return false;
                     opt.anim_step = static_cast<float>(step);
                     return true;
                   }});
  specs.push_back({"--scene", Takes::Value, [&opt](const Value& v, std::string& error) {
                     return runner::parse_chapter(*v, opt.show_run.scene, error);
                   }});
  return specs;
}

bool parse_options(const std::vector<std::string>& args, Options& opt, std::string& error, bool& help) {
  help = false;
  std::set<std::string> given;
  if (!runner::parse_command_line(args, option_specs(opt, help), given, error)) return false;
  if (help) return true;
  // A show run without --ticks goes on until the show ends: any tick may come.
  const bool open_ended = opt.mode == Options::Mode::Show && !opt.show_run.ticks_given;
  if (!runner::check_run_options(opt.show_run, open_ended, error)) return false;
  if (opt.mode != Options::Mode::Show) {
    const char* show_only = !opt.video.empty()     ? "--video"
                            : opt.timedemo         ? "--timedemo"
                            : opt.show_run.from > 0 ? "--from"
                            : opt.show_run.scene > 0 ? "--scene"
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
  if (opt.show_run.scene > 0 && opt.show_run.from > 0) {
    error = "--scene and --from: one at a time";
    return false;
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
