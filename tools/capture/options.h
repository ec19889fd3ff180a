#pragma once
// The headless runner's command line: its one parser (parse_options, see
// capture.h), which reads the run options the page shares through
// runner::read_run_option, with one mode at a time, and the show folder a
// show run plays.
#include <filesystem>
#include <string>

#include "capture.h"
#include "runner/run_options.h"

namespace quarvel::capture {

using runner::kMaxTicks;
using runner::parse_int_in;
using runner::parse_number_in;
using runner::range_error;

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
