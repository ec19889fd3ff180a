#include <gtest/gtest.h>

#include <vector>

#include "platform/audio/playback_clock.h"

namespace quarvel::audio {
namespace {

constexpr int64_t kMs = 1'000'000;

// 1000 frames a second makes one frame a millisecond.
struct Fed {
  std::vector<std::pair<uint64_t, uint64_t>> copies;
  uint64_t silence = 0;
};

Fed feed(PlaybackClock& clock, int64_t now, uint64_t frames) {
  Fed fed;
  clock.feed(
      now, frames, [&](uint64_t first, uint64_t n) { fed.copies.emplace_back(first, n); },
      [&](uint64_t n) { fed.silence += n; });
  return fed;
}

TEST(PlaybackClock, NeverPlayedStaysAtZero) {
  PlaybackClock clock(1000, 10000, 0);
  EXPECT_EQ(clock.frame(0), 0u);
  EXPECT_EQ(clock.frame(5000 * kMs), 0u);
  EXPECT_FALSE(clock.playing(0));
  EXPECT_TRUE(feed(clock, 0, 100).copies.empty());
}

TEST(PlaybackClock, WaitsForTheFirstChunk) {
  PlaybackClock clock(1000, 10000, 0);
  clock.play(0, false);
  EXPECT_EQ(clock.frame(50 * kMs), 0u);
}

TEST(PlaybackClock, InterpolatesBetweenChunks) {
  PlaybackClock clock(1000, 10000, 0);
  clock.play(0, false);
  feed(clock, 100 * kMs, 100);
  EXPECT_EQ(clock.frame(100 * kMs), 100u);
  EXPECT_EQ(clock.frame(130 * kMs), 130u);
  EXPECT_EQ(clock.frame(130 * kMs + kMs / 2), 130u);  // whole frames only
  EXPECT_EQ(clock.frame(199 * kMs), 199u);
}

TEST(PlaybackClock, LateChunkStallsInsteadOfRunningAhead) {
  PlaybackClock clock(1000, 10000, 0);
  clock.play(0, false);
  feed(clock, 100 * kMs, 100);
  EXPECT_EQ(clock.frame(400 * kMs), 200u);  // no more than one chunk past the last
  feed(clock, 400 * kMs, 100);
  EXPECT_EQ(clock.frame(400 * kMs), 200u);
  EXPECT_EQ(clock.frame(450 * kMs), 250u);
}

TEST(PlaybackClock, LatencyIsTakenOff) {
  PlaybackClock clock(1000, 10000, 200);
  clock.play(0, false);
  feed(clock, 0, 100);
  EXPECT_EQ(clock.frame(0), 0u);
  EXPECT_EQ(clock.frame(90 * kMs), 0u);  // nothing reached the speaker yet
  feed(clock, 100 * kMs, 100);
  feed(clock, 200 * kMs, 100);
  EXPECT_EQ(clock.frame(200 * kMs), 100u);  // 300 written, 200 of them still buffered
  EXPECT_EQ(clock.frame(250 * kMs), 150u);
}

TEST(PlaybackClock, NeverGoesBackwardsWhenChunksComeEarlyOrLate) {
  PlaybackClock clock(1000, 100000, 64);
  clock.play(0, false);
  const int64_t times[] = {10, 30, 31, 80, 95, 96, 200, 201, 202, 260};
  uint64_t last = 0;
  int64_t now = 0;
  for (int64_t t : times) {
    for (; now <= t; now += 3) {
      uint64_t f = clock.frame(now * kMs);
      EXPECT_GE(f, last) << now;
      last = f;
    }
    feed(clock, t * kMs, 32);
    uint64_t f = clock.frame(t * kMs);
    EXPECT_GE(f, last) << t;
    last = f;
  }
}

TEST(PlaybackClock, QueryStampedBeforeTheLastChunkDoesNotGoBack) {
  PlaybackClock clock(1000, 10000, 0);
  clock.play(0, false);
  feed(clock, 100 * kMs, 100);
  uint64_t at_150 = clock.frame(150 * kMs);
  feed(clock, 160 * kMs, 10);
  EXPECT_GE(clock.frame(155 * kMs), at_150);
}

TEST(PlaybackClock, FeedCopiesTheFramesThatFollow) {
  PlaybackClock clock(1000, 10000, 0);
  clock.play(0, false);
  auto a = feed(clock, 0, 300);
  auto b = feed(clock, 300 * kMs, 300);
  ASSERT_EQ(a.copies.size(), 1u);
  EXPECT_EQ(a.copies[0], std::make_pair(uint64_t{0}, uint64_t{300}));
  ASSERT_EQ(b.copies.size(), 1u);
  EXPECT_EQ(b.copies[0], std::make_pair(uint64_t{300}, uint64_t{300}));
}

TEST(PlaybackClock, LoopWrapsTheFeedAndThePosition) {
  PlaybackClock clock(1000, 250, 0);
  clock.play(0, true);
  feed(clock, 100 * kMs, 100);
  feed(clock, 200 * kMs, 100);
  EXPECT_EQ(clock.frame(249 * kMs), 249u);
  EXPECT_EQ(clock.frame(250 * kMs), 0u);  // the one way back: the loop restarts
  auto c = feed(clock, 300 * kMs, 100);
  ASSERT_EQ(c.copies.size(), 2u);
  EXPECT_EQ(c.copies[0], std::make_pair(uint64_t{200}, uint64_t{50}));
  EXPECT_EQ(c.copies[1], std::make_pair(uint64_t{0}, uint64_t{50}));
  EXPECT_EQ(c.silence, 0u);
  EXPECT_EQ(clock.frame(300 * kMs), 50u);
  EXPECT_TRUE(clock.playing(300 * kMs));
}

TEST(PlaybackClock, ShortLoopWrapsSeveralTimesInOneChunk) {
  PlaybackClock clock(1000, 40, 0);
  clock.play(0, true);
  auto a = feed(clock, 0, 100);
  ASSERT_EQ(a.copies.size(), 3u);
  EXPECT_EQ(a.copies[2], std::make_pair(uint64_t{0}, uint64_t{20}));
}

TEST(PlaybackClock, WithoutLoopItEndsWithSilenceAndStopsAtTheEnd) {
  PlaybackClock clock(1000, 250, 0);
  clock.play(0, false);
  feed(clock, 100 * kMs, 100);
  feed(clock, 200 * kMs, 100);
  EXPECT_TRUE(clock.playing(249 * kMs));
  auto c = feed(clock, 300 * kMs, 100);
  ASSERT_EQ(c.copies.size(), 1u);
  EXPECT_EQ(c.copies[0], std::make_pair(uint64_t{200}, uint64_t{50}));
  EXPECT_EQ(c.silence, 50u);
  EXPECT_EQ(clock.frame(300 * kMs), 250u);
  EXPECT_FALSE(clock.playing(300 * kMs));
}

TEST(PlaybackClock, StopHoldsThePositionAndPlayResumesFromIt) {
  PlaybackClock clock(1000, 10000, 0);
  clock.play(0, false);
  feed(clock, 100 * kMs, 100);
  feed(clock, 200 * kMs, 100);
  clock.stop(250 * kMs);
  EXPECT_EQ(clock.frame(250 * kMs), 250u);
  EXPECT_EQ(clock.frame(900 * kMs), 250u);
  EXPECT_FALSE(clock.playing(900 * kMs));
  EXPECT_TRUE(feed(clock, 950 * kMs, 100).copies.empty());  // a stopped output takes nothing

  clock.play(1000 * kMs, false);
  EXPECT_EQ(clock.frame(1050 * kMs), 250u);  // waits for the output again
  auto a = feed(clock, 1100 * kMs, 100);
  ASSERT_EQ(a.copies.size(), 1u);
  EXPECT_EQ(a.copies[0].first, 250u);
  EXPECT_EQ(clock.frame(1150 * kMs), 400u);
}

TEST(PlaybackClock, PlayingAgainRunsOnUndisturbed) {
  PlaybackClock clock(1000, 10000, 100);
  clock.play(0, true);
  feed(clock, 0, 100);
  feed(clock, 100 * kMs, 100);
  feed(clock, 200 * kMs, 100);
  uint64_t before = clock.frame(250 * kMs);
  clock.play(250 * kMs, true);
  EXPECT_EQ(clock.frame(250 * kMs), before);
  EXPECT_EQ(clock.frame(260 * kMs), before + 10);
}

TEST(PlaybackClock, TurningLoopOffAfterAWrapKeepsThePosition) {
  PlaybackClock clock(1000, 100, 0);
  clock.play(0, true);
  for (int i = 0; i < 3; ++i) feed(clock, i * 100 * kMs, 100);
  EXPECT_EQ(clock.frame(250 * kMs), 50u);
  clock.play(250 * kMs, false);
  EXPECT_EQ(clock.frame(250 * kMs), 50u);
  EXPECT_EQ(clock.frame(280 * kMs), 80u);
}

TEST(PlaybackClock, SeekMovesAndKeepsPlaying) {
  PlaybackClock clock(1000, 1000, 0);
  clock.play(0, false);
  feed(clock, 0, 100);
  clock.seek(50 * kMs, 700);
  EXPECT_EQ(clock.frame(50 * kMs), 700u);
  EXPECT_TRUE(clock.playing(50 * kMs));
  auto a = feed(clock, 60 * kMs, 10);
  EXPECT_EQ(a.copies[0].first, 700u);
  clock.seek(70 * kMs, 5000);
  EXPECT_EQ(clock.frame(70 * kMs), 1000u);
}

TEST(PlaybackClock, EmptyStreamNeverMoves) {
  PlaybackClock clock(1000, 0, 0);
  clock.play(0, true);
  auto a = feed(clock, 0, 100);
  EXPECT_TRUE(a.copies.empty());
  EXPECT_EQ(clock.frame(100 * kMs), 0u);
}

TEST(LoadMeter, ShareOfBusyTimeInPercent) {
  LoadMeter meter(1000 * kMs);
  meter.add(0, 10 * kMs);
  meter.add(100 * kMs, 110 * kMs);
  EXPECT_FLOAT_EQ(meter.percent(200 * kMs), 10.0f);  // 20 of 200 ms
}

TEST(LoadMeter, ReportsTheLastWholeWindow) {
  LoadMeter meter(1000 * kMs);
  meter.add(0, 50 * kMs);
  meter.add(1000 * kMs, 1001 * kMs);  // closes the first window: 50 of 1000 ms
  EXPECT_NEAR(meter.percent(1500 * kMs), 5.0f, 0.01f);
  EXPECT_NEAR(meter.percent(2101 * kMs), 0.0909f, 0.0001f);  // second window: 1 of 1100 ms
}

TEST(LoadMeter, NothingMeasuredIsZero) {
  LoadMeter meter;
  EXPECT_EQ(meter.percent(0), 0.0f);
  EXPECT_EQ(meter.percent(123), 0.0f);
}

}  // namespace
}  // namespace quarvel::audio
