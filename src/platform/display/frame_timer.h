#pragma once
// The frame timer and the idle loop that drives it.
//
// The program's message loop calls IdleLoop::idle() whenever it has no
// events left. There is one idle handler: enabling a timer makes it the
// handler, taking idle processing over from any other timer. Time comes
// from an injected millisecond clock, so tests advance it by hand.
#include <cstdint>
#include <functional>

namespace quarvel::display {

using MillisecondClock = std::function<uint32_t()>;

class FrameTimer;

class IdleLoop {
 public:
  // Runs the idle handler once. Returns true when a handler wants more idle
  // calls (the loop must then not wait for events).
  bool idle();

  // Whether the application is the active (foreground) one.
  void set_active(bool active);
  bool active() const { return active_; }

  FrameTimer* handler() const { return handler_; }

 private:
  friend class FrameTimer;
  FrameTimer* handler_ = nullptr;
  bool active_ = true;
};

class FrameTimer {
 public:
  FrameTimer(IdleLoop& loop, MillisecondClock clock);
  ~FrameTimer();
  FrameTimer(const FrameTimer&) = delete;
  FrameTimer& operator=(const FrameTimer&) = delete;

  // Milliseconds between ticks; 0 means at every idle moment.
  int interval = 0;
  // Run only while the application is active.
  bool active_only = true;
  // The tick handler, with the number of intervals elapsed (at least 1).
  std::function<void(int lag_count)> on_timer;

  void set_enabled(bool enabled);
  bool enabled() const { return enabled_; }

  // Ticks a second, measured over each stretch of 1000 ms or more.
  int frame_rate() const { return frame_rate_; }

  // One idle call (IdleLoop calls it): ticks when the interval has passed.
  void idle();

  // Restarts the clocks at the current time (after the application becomes
  // active again).
  void restart_clocks();

 private:
  IdleLoop& loop_;
  MillisecondClock clock_;
  bool enabled_ = false;
  uint32_t last_tick_ = 0;
  uint32_t rate_start_ = 0;
  int ticks_counted_ = 0;
  int frame_rate_ = 0;
};

}  // namespace quarvel::display
