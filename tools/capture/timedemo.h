#pragma once
// Timedemo figures: how long each tick took (its timer call: steps, render,
// flip, on a steady clock), overall and per scene, and the slowest ticks.
#include <string>
#include <vector>

#include "show_runner.h"

namespace quarvel::capture {

struct FrameTimes {
  long long frames = 0;
  double mean_fps = 0;   // frames over the sum of their times
  double median_ms = 0;
  double p95_ms = 0;
  double p99_ms = 0;
  double worst_ms = 0;
  // Processor time a tick (means, the whole process's): in the display's 3D
  // render call and in the rest of the tick.
  double render_ms = 0;
  double other_ms = 0;
};

// The figures of a set of frame times in seconds (nearest-rank percentiles).
FrameTimes frame_times(std::vector<double> seconds);

struct TimedemoReport {
  long long frames = 0;
  double wall_seconds = 0;
  double mean_fps = 0;  // frames over the wall time
  FrameTimes overall;
  std::vector<std::pair<std::string, FrameTimes>> scenes;  // in order of first appearance
  struct Slow {
    int tick;
    float clock;
    std::string scene;
    double ms;
  };
  std::vector<Slow> slowest;  // the five slowest ticks, slowest first
  // At each change of scene, the slowest tick from kChangeBefore ticks before
  // the new scene's first tick to kChangeAfter ticks after it (a builder's hitch).
  static constexpr int kChangeBefore = 5, kChangeAfter = 10;
  std::vector<Slow> changes;
};

class Timedemo {
 public:
  void add(const TickInfo& t);
  TimedemoReport report(double wall_seconds) const;

 private:
  std::vector<TickInfo> ticks_;
};

std::string timedemo_text(const TimedemoReport& r);
std::string timedemo_json(const TimedemoReport& r);

}  // namespace quarvel::capture
