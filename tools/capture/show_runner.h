#pragma once
// The show headless: the main form from the current folder on a virtual
// music clock, with an input script played into it and a trace of every
// tick.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runner/run_options.h"

namespace quarvel::display {
class DisplayControl;
class FrameGrabber;
}
namespace quarvel::audio {
class TrackBuffer;
class MusicSystem;
}
namespace quarvel::app {
class TMainForm;
}

namespace quarvel::capture {

using runner::kTickCap;

// What the runner knows of a tick once it has run.
struct TickInfo {
  int tick = 0;
  uint32_t ms = 0;            // the virtual clock the tick ran at
  float horloge = 0;          // the scene clock at the end of the tick
  int step = 0;               // the highest step number (1..7) whose flag is set, 0 for none
  double seconds = 0;         // steady-clock time of the tick itself (its timer call: steps, render, flip)
  double cpu_seconds = 0;     // the whole process's processor time over the same span
  double render_cpu_seconds = 0;  // the part of it spent in the display's 3D render call
  bool music_playing = false;
  uint64_t music_pos = 0;     // the show's music stream position now (bytes of decoded music)
  const audio::TrackBuffer* music = nullptr;  // its music, or null before it is opened
  uint64_t music_bytes = 0;  // the whole track in bytes once its length is known, else 0
};

// "Party_N" for a step number, "loading" for 0.
std::string step_name(int step);

// Called after each tick (after its flip and safety end, and after its
// trace line); returning false stops the run with status 2.
using AfterTick = std::function<bool(int tick, const display::DisplayControl& d)>;
// The same with what is known of the tick, and the frame grabber on the
// form's display (to queue the tick's picture).
using OnTick = std::function<bool(const TickInfo& info, display::FrameGrabber& grabber)>;

// Called once after the last tick (also when a callback stopped the run),
// while the display is still there; false makes the status 2.
using AtEnd = std::function<bool(display::FrameGrabber& grabber)>;

// Runs the show: `ticks` ticks when opt.ticks_given, else until the form
// closes (at most kTickCap ticks, said on standard error). A bad input
// script or a trace file that cannot be written is one line on standard
// error and status 2, before any tick.
// Ticks before opt.from run seeking (neither rendered nor presented) and
// are not passed to the callback (their trace lines are written).
int play_show(const runner::RunOptions& opt, int ticks, const AfterTick& after_tick);
int play_show(const runner::RunOptions& opt, int ticks, const OnTick& on_tick, const AtEnd& at_end = nullptr);
inline int play_show(const runner::RunOptions& opt, int ticks, std::nullptr_t) { return play_show(opt, ticks, OnTick{}); }

}  // namespace quarvel::capture
