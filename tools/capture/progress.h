#pragma once
// One progress line on standard error for long runs, rewritten in place:
// scene, clock, share of the music played, frames a second, time left.
// Only on a terminal, and not under CI.
#include <chrono>
#include <cstdio>
#include <string>

#include "show_runner.h"

namespace quarvel::capture {

// True when standard error is a terminal and CI is not set.
bool progress_wanted();

// The line for a tick after `wall_seconds` of running, `frames` frames in.
// The time left is estimated from how fast the music has moved so far.
std::string progress_line(const TickInfo& t, long long frames, double wall_seconds);

class Progress {
 public:
  explicit Progress(bool on) : on_(on) {}
  ~Progress() { finish(); }
  // Redraws at most a few times a second.
  void update(const TickInfo& t);
  // Clears the line.
  void finish();

 private:
  using Clock = std::chrono::steady_clock;
  bool on_;
  bool shown_ = false;
  long long frames_ = 0;
  Clock::time_point start_ = Clock::now();
  Clock::time_point last_{};
};

}  // namespace quarvel::capture
