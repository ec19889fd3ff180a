#pragma once
// The virtual clock a show run plays on when it is not real time (the
// headless runner, the page's measured runs): milliseconds for the form's
// frame timer, and the music of a virtual-clock music system moved on with
// them, a tick's length at a time.
#include <cstdint>

namespace quarvel::app {
class TMainForm;
}
namespace quarvel::audio {
class MusicSystem;
}

namespace quarvel::runner {

struct VirtualTickClock {
  double ms_per_tick = 1000.0 / 60.0;
  uint32_t now = 0;          // what the form's clock reads
  uint64_t steps = 0;        // clock steps so far
  // Moves the clock and the music on, a tick's length at a time, until the
  // form's frame timer has ticked once. False when it does not tick (another
  // timer holds the idle handler): the run must stop.
  bool tick(app::TMainForm& form, audio::MusicSystem& music);
};

}  // namespace quarvel::runner
