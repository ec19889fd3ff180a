// The generated music: length and format, and the level profile the
// explosion scene's flashes follow.
#include <gtest/gtest.h>

#include "music.h"
#include "platform/audio/pcm_track.h"
#include "show_files.h"

namespace quarvel::assets_test {
namespace {

audio::PcmTrack decoded() {
  audio::PcmTrack track;
  std::string error;
  EXPECT_EQ(audio::decode_mp3_file(show_file("sik_test.mp3"), track, error), audio::DecodeStatus::ok) << error;
  return track;
}

uint32_t left_level(const audio::PcmTrack& t, double seconds) {
  return audio::level_near(t, static_cast<uint64_t>(seconds * t.rate)) & 0xFFFF;
}

TEST(GeneratedMusic, DecodesTo44kStereoOfAtLeast275Seconds) {
  audio::PcmTrack t = decoded();
  EXPECT_EQ(t.rate, 44100);
  EXPECT_EQ(t.channels, 2);
  EXPECT_GE(static_cast<double>(t.frames()) / t.rate, 275.0);
}

TEST(GeneratedMusic, ExplosionSectionBeatsPassTheFlashLevelSeveralTimesASecond) {
  audio::PcmTrack t = decoded();
  const double from = assets::kSectionStart[4], to = assets::kSectionStart[5];
  int rises = 0, above_ticks = 0, ticks = 0;
  bool above = false;
  for (double s = from; s < to; s += 1.0 / 60.0, ++ticks) {
    bool now = left_level(t, s) > 101;
    rises += now && !above;
    above_ticks += now;
    above = now;
  }
  const double seconds = to - from;
  EXPECT_GE(rises / seconds, 2.0);
  EXPECT_LE(rises / seconds, 6.0);
  EXPECT_LT(above_ticks, ticks / 3) << "the level must fall back between beats";
}

TEST(GeneratedMusic, LevelStaysAtOrBelowTheFlashLevelOutsideTheExplosion) {
  audio::PcmTrack t = decoded();
  const uint64_t from = static_cast<uint64_t>(assets::kSectionStart[4] * t.rate);
  const uint64_t to = static_cast<uint64_t>(assets::kSectionStart[5] * t.rate);
  const uint64_t w = audio::level_window_frames(t);
  for (uint64_t f = 0; f + w < t.frames(); f += w) {
    if (f + w >= from && f <= to) continue;
    ASSERT_LE(audio::peak_level(t, f, w) & 0xFFFF, 101u) << "at " << double(f) / t.rate << " s";
  }
}

TEST(GeneratedMusic, EverySectionIsAudible) {
  audio::PcmTrack t = decoded();
  for (int k = 0; k < 6; ++k) {
    const double a = assets::kSectionStart[k], b = assets::kSectionStart[k + 1];
    uint32_t level = audio::peak_level(t, uint64_t(a * t.rate), uint64_t((b - a) * t.rate)) & 0xFFFF;
    EXPECT_GT(level, 40u) << "section " << k;
  }
}

}  // namespace
}  // namespace quarvel::assets_test
