#include "platform/display/frame_timer.h"

#include <algorithm>

namespace quarvel::display {

bool IdleLoop::idle() {
  if (!handler_) return false;
  if (handler_->active_only && !active_) return false;
  handler_->idle();
  return true;
}

void IdleLoop::set_active(bool active) {
  if (active && !active_ && handler_) handler_->restart_clocks();
  active_ = active;
}

FrameTimer::FrameTimer(IdleLoop& loop, MillisecondClock clock) : loop_(loop), clock_(std::move(clock)) {}

FrameTimer::~FrameTimer() { set_enabled(false); }

void FrameTimer::set_enabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled) {
    loop_.handler_ = this;
    restart_clocks();
  } else if (loop_.handler_ == this) {
    loop_.handler_ = nullptr;
  }
}

void FrameTimer::restart_clocks() {
  const uint32_t now = clock_ ? clock_() : 0;
  last_tick_ = now;
  rate_start_ = now;
  ticks_counted_ = 0;
}

void FrameTimer::idle() {
  if (!enabled_) return;
  const uint32_t now = clock_ ? clock_() : 0;
  const uint32_t since = now - last_tick_;  // wraps correctly past 2^32 ms
  if (since < static_cast<uint32_t>(std::max(interval, 0))) return;
  const int lag = std::max<int>(1, static_cast<int>(since / static_cast<uint32_t>(std::max(interval, 1))));
  last_tick_ = now;
  ++ticks_counted_;
  const uint32_t elapsed = now - rate_start_;
  if (elapsed >= 1000) {
    // ticks x 1000 / elapsed, rounded to nearest with halves to even.
    const uint64_t n = static_cast<uint64_t>(ticks_counted_) * 1000;
    uint64_t q = n / elapsed;
    const uint64_t twice_rest = 2 * (n % elapsed);
    if (twice_rest > elapsed || (twice_rest == elapsed && (q & 1))) ++q;
    frame_rate_ = static_cast<int>(q);
    ticks_counted_ = 0;
    rate_start_ = now;
  }
  if (on_timer) on_timer(lag);
}

}  // namespace quarvel::display
