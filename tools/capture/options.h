#pragma once
// The headless runner's command line: its one parser (parse_options, see
// capture.h) with its helpers for numbers within their range and one mode at
// a time, and the show folder a show run plays.
#include <filesystem>
#include <string>

#include "capture.h"

namespace quarvel::capture {

inline constexpr int kMaxTicks = 100000000;

// "NAME: must be LO to HI".
std::string range_error(const std::string& name, long long lo, long long hi);

// Reads `text` as a whole number from `lo` to `hi`. Otherwise `error` says
// what `name` (the option) must be and false is returned; `out` is unchanged.
bool parse_int_in(const std::string& name, const std::string& text, int lo, int hi, int& out, std::string& error);

// The same for a decimal number; with `above_lo`, `lo` itself is refused
// ("NAME: must be above LO and at most HI").
bool parse_number_in(const std::string& name, const std::string& text, double lo, double hi, double& out,
                     std::string& error, bool above_lo = false);

// Sets the run's mode; refuses a second, different mode (--test-scene with --model).
bool set_mode(Options& opt, Options::Mode mode, std::string& error);

// A show run without --show plays the current folder when it holds the
// show's files, else the first folder beside the program that does (see
// app::show_folder_candidates); `opt.show_dir` is then set and `note` says
// which folder plays. With no show files anywhere, false and `error`.
// A folder given with --show that holds neither of the two files is
// refused the same way; other modes are left as they are.
bool choose_show_folder(Options& opt, const std::filesystem::path& current, const std::filesystem::path& program_dir,
                        std::string& note, std::string& error);

}  // namespace quarvel::capture
