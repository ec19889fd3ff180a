#include "runner/virtual_clock.h"

#include <cmath>

#include "app/main_form.h"
#include "platform/audio/music_system.h"

namespace quarvel::runner {
namespace {

// Idle calls allowed without a tick (another timer holding the idle
// handler) before the run gives up.
constexpr int kIdleCallsPerTick = 10000;

}  // namespace

bool VirtualTickClock::tick(app::TMainForm& form, audio::MusicSystem& music) {
  const uint64_t before = form.ticks();
  for (int call = 0; form.ticks() == before; ++call) {
    ++steps;
    now = static_cast<uint32_t>(std::floor(static_cast<double>(steps) * ms_per_tick));
    music.advance_seconds(ms_per_tick / 1000.0);
    if (call >= kIdleCallsPerTick || !form.idle_loop.idle()) return form.ticks() != before;
  }
  return true;
}

}  // namespace quarvel::runner
