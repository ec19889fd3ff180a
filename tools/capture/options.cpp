#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "app/music_startup.h"
#include "app/show_folder.h"

namespace quarvel::capture {
namespace {

std::string number_text(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

const char* mode_flag(Options::Mode mode) {
  switch (mode) {
    case Options::Mode::TestScene: return "--test-scene";
    case Options::Mode::Model: return "--model";
    case Options::Mode::Show: break;
  }
  return "the show";
}

}  // namespace

std::string range_error(const std::string& name, long long lo, long long hi) {
  return name + ": must be " + std::to_string(lo) + " to " + std::to_string(hi);
}

bool parse_int_in(const std::string& name, const std::string& text, int lo, int hi, int& out, std::string& error) {
  long long v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
    error = name + ": not a whole number: " + text;
    return false;
  }
  if (ec == std::errc::result_out_of_range || v < lo || v > hi) {
    error = range_error(name, lo, hi);
    return false;
  }
  out = static_cast<int>(v);
  return true;
}

bool parse_number_in(const std::string& name, const std::string& text, double lo, double hi, double& out,
                     std::string& error, bool above_lo) {
  double v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
    error = name + ": not a number: " + text;
    return false;
  }
  if (ec == std::errc::result_out_of_range || !std::isfinite(v) || v < lo || (above_lo && v == lo) || v > hi) {
    error = name + ": must be " + (above_lo ? "above " + number_text(lo) + " and at most " : number_text(lo) + " to ") +
            number_text(hi);
    return false;
  }
  out = v;
  return true;
}

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

}  // namespace quarvel::capture
