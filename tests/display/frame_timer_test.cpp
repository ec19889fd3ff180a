#include <gtest/gtest.h>

#include <vector>

#include "platform/display/frame_timer.h"

using namespace quarvel::display;

namespace {
struct FakeClock {
  uint32_t now = 1000;
  MillisecondClock fn() { return [this] { return now; }; }
};
}  // namespace

TEST(FrameTimer, IntervalZeroTicksAtEveryIdleCall) {
  FakeClock clock;
  IdleLoop loop;
  FrameTimer t(loop, clock.fn());
  std::vector<int> lags;
  t.on_timer = [&](int lag) { lags.push_back(lag); };
  EXPECT_FALSE(loop.idle());  // disabled: no handler, the loop may wait
  t.set_enabled(true);
  EXPECT_TRUE(loop.idle());
  clock.now += 7;
  loop.idle();
  EXPECT_EQ(lags, (std::vector<int>{1, 7}));  // lag = elapsed / max(interval, 1), at least 1
}

TEST(FrameTimer, IntervalGatesTicksAndReportsTheLag) {
  FakeClock clock;
  IdleLoop loop;
  FrameTimer t(loop, clock.fn());
  t.interval = 100;
  std::vector<int> lags;
  t.on_timer = [&](int lag) { lags.push_back(lag); };
  t.set_enabled(true);
  loop.idle();  // 0 ms since enabling
  clock.now += 99;
  loop.idle();
  EXPECT_TRUE(lags.empty());
  clock.now += 1;
  loop.idle();
  clock.now += 350;
  loop.idle();
  EXPECT_EQ(lags, (std::vector<int>{1, 3}));
}

TEST(FrameTimer, EnablingOneTimerTakesTheIdleHandlerFromAnother) {
  FakeClock clock;
  IdleLoop loop;
  FrameTimer a(loop, clock.fn()), b(loop, clock.fn());
  int ta = 0, tb = 0;
  a.on_timer = [&](int) { ++ta; };
  b.on_timer = [&](int) { ++tb; };
  a.set_enabled(true);
  loop.idle();
  b.set_enabled(true);
  loop.idle();
  EXPECT_EQ(ta, 1);
  EXPECT_EQ(tb, 1);
  a.set_enabled(false);  // a is not the handler any more: b keeps it
  EXPECT_EQ(loop.handler(), &b);
  b.set_enabled(false);
  EXPECT_EQ(loop.handler(), nullptr);
  EXPECT_FALSE(loop.idle());
}

TEST(FrameTimer, FrameRateIsMeasuredOverEachSecond) {
  FakeClock clock;
  IdleLoop loop;
  FrameTimer t(loop, clock.fn());
  t.set_enabled(true);
  for (int i = 0; i < 60; ++i) {
    clock.now += 16;  // 960 ms
    loop.idle();
  }
  EXPECT_EQ(t.frame_rate(), 0);  // not a second yet
  for (int i = 0; i < 3; ++i) {
    clock.now += 16;
    loop.idle();
  }
  // 62 ticks in 992 ms, then the 63rd at 1008 ms: 63 * 1000 / 1008 = 62.5,
  // rounded half to even -> 62.
  EXPECT_EQ(t.frame_rate(), 62);
  // The count restarts: 59 ticks in the next 1003 ms (58.82 -> 59).
  for (int i = 0; i < 58; ++i) {
    clock.now += 17;
    loop.idle();
  }
  clock.now += 17;
  loop.idle();
  EXPECT_EQ(t.frame_rate(), 59);
}

TEST(FrameTimer, ActiveOnlyTimersPauseWhileTheApplicationIsInactive) {
  FakeClock clock;
  IdleLoop loop;
  FrameTimer t(loop, clock.fn());
  t.active_only = true;
  t.interval = 10;
  std::vector<int> lags;
  t.on_timer = [&](int lag) { lags.push_back(lag); };
  t.set_enabled(true);
  loop.set_active(false);
  clock.now += 5000;
  EXPECT_FALSE(loop.idle());
  EXPECT_TRUE(lags.empty());
  loop.set_active(true);  // clocks restart: no huge lag after the pause
  clock.now += 10;
  loop.idle();
  EXPECT_EQ(lags, (std::vector<int>{1}));
  t.active_only = false;
  loop.set_active(false);
  clock.now += 10;
  EXPECT_TRUE(loop.idle());
  EXPECT_EQ(lags.size(), 2u);
}
