#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/audio/pcm_track.h"

namespace quarvel::audio {
namespace {

// A stereo track of silence with chosen samples set.
PcmTrack silent_track(int rate, int channels, uint64_t frames) {
  PcmTrack t;
  t.rate = rate;
  t.channels = channels;
  t.samples.assign(frames * channels, 0);
  return t;
}

TEST(Level, PeakScaleIsZeroTo128RoundedToNearest) {
  EXPECT_EQ(level_of_peak(0), 0u);
  EXPECT_EQ(level_of_peak(32768), 128u);
  EXPECT_EQ(level_of_peak(32767), 128u);
  EXPECT_EQ(level_of_peak(16384), 64u);
  EXPECT_EQ(level_of_peak(127), 0u);   // 0.496 of a step
  EXPECT_EQ(level_of_peak(128), 1u);   // half a step rounds up
  EXPECT_EQ(level_of_peak(70000), 128u);
}

TEST(Level, LeftInLowWordRightInHighWord) {
  PcmTrack t = silent_track(1000, 2, 100);
  t.samples[10 * 2] = 26000;       // left, level 101.56 -> 102
  t.samples[20 * 2 + 1] = -16384;  // right, level 64
  uint32_t level = peak_level(t, 0, 100);
  EXPECT_EQ(level & 0xFFFF, 102u);
  EXPECT_EQ(level >> 16, 64u);
}

TEST(Level, NegativeFullScaleIsTheTop) {
  PcmTrack t = silent_track(1000, 2, 10);
  t.samples[0] = -32768;
  EXPECT_EQ(peak_level(t, 0, 10) & 0xFFFF, 128u);
}

TEST(Level, OnlyTheAskedFramesCount) {
  PcmTrack t = silent_track(1000, 2, 100);
  t.samples[50 * 2] = 32767;
  EXPECT_EQ(peak_level(t, 0, 50), 0u);
  EXPECT_EQ(peak_level(t, 51, 49), 0u);
  EXPECT_EQ(peak_level(t, 50, 1) & 0xFFFF, 128u);
}

TEST(Level, MonoGivesItsChannelToBothHalves) {
  PcmTrack t = silent_track(1000, 1, 10);
  t.samples[3] = 8192;
  EXPECT_EQ(peak_level(t, 0, 10), 32u | (32u << 16));
}

TEST(Level, RangesOutsideTheTrackAreSilentOrClipped) {
  PcmTrack t = silent_track(1000, 2, 10);
  t.samples[9 * 2] = 32767;
  EXPECT_EQ(peak_level(t, 10, 5), 0u);
  EXPECT_EQ(peak_level(t, 0, 0), 0u);
  EXPECT_EQ(peak_level(t, 5, 1000) & 0xFFFF, 128u);
  EXPECT_EQ(peak_level(PcmTrack{}, 0, 10), 0u);
}

TEST(Level, NearAPositionLooksTenMillisecondsEitherSide) {
  PcmTrack t = silent_track(1000, 2, 1000);  // 20 ms window = 20 frames
  ASSERT_EQ(level_window_frames(t), 20u);
  t.samples[500 * 2] = 32767;
  EXPECT_EQ(level_near(t, 500) & 0xFFFF, 128u);
  EXPECT_EQ(level_near(t, 491) & 0xFFFF, 128u);  // window [481, 501)
  EXPECT_EQ(level_near(t, 510) & 0xFFFF, 128u);  // window [500, 520)
  EXPECT_EQ(level_near(t, 490) & 0xFFFF, 0u);    // window [480, 500)
  EXPECT_EQ(level_near(t, 511) & 0xFFFF, 0u);    // window [501, 521)
}

TEST(Level, SineOfKnownAmplitude) {
  PcmTrack t = silent_track(8000, 2, 8000);
  for (int i = 0; i < 8000; ++i) {
    double phase = 2.0 * std::numbers::pi * 100.0 * i / 8000.0;  // 100 Hz: whole periods in 20 ms
    t.samples[i * 2] = static_cast<int16_t>(std::lround(std::sin(phase) * 0.8 * 32767));
    t.samples[i * 2 + 1] = static_cast<int16_t>(std::lround(std::sin(phase) * 0.25 * 32767));
  }
  uint32_t level = level_near(t, 4000);
  EXPECT_EQ(level & 0xFFFF, 102u);  // 0.8 * 128 = 102.4
  EXPECT_EQ(level >> 16, 32u);      // 0.25 * 128
}

}  // namespace
}  // namespace quarvel::audio
