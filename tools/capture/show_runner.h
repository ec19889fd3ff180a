#pragma once
// The show headless: the main form from the current folder on a virtual
// music clock, with an input script played into it and a trace of every
// tick.
#include <functional>
#include <string>
#include <vector>

namespace quarvel::display {
class DisplayControl;
}

namespace quarvel::capture {

// Without --ticks the show runs until the form closes, at most this long.
inline constexpr int kTickCap = 100000;

struct ShowRunOptions {
  double ms_per_tick = 1000.0 / 60.0;  // virtual milliseconds between ticks
  bool ticks_given = false;            // --ticks was on the command line
  std::string input;                   // --input FILE (absolute), or empty
  std::string trace;                   // --trace FILE (absolute), "-", or empty
  bool trace_operator = false;         // --trace-operator: the operator's keys in the trace
};

// Takes --input FILE, --trace FILE|-, --trace-operator and --ms-per-tick MS
// out of `args`
// (file names made absolute against the current folder, so a later change
// of folder does not move them) and notes whether --ticks is there. False
// with a message for a missing or bad value.
bool take_show_options(std::vector<std::string>& args, ShowRunOptions& opt, std::string& error);

// The usage lines of these options.
const char* show_usage();

// Called after each tick (after its flip and safety end, and after its
// trace line); returning false stops the run with status 2.
using AfterTick = std::function<bool(int tick, const display::DisplayControl& d)>;

// Runs the show: `ticks` ticks when opt.ticks_given, else until the form
// closes (at most kTickCap ticks, said on standard error). A bad input
// script or a trace file that cannot be written is one line on standard
// error and status 2, before any tick.
int play_show(const ShowRunOptions& opt, int ticks, const AfterTick& after_tick);

}  // namespace quarvel::capture
