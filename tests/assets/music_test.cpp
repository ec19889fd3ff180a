// The generated music: length and format, the level profile the explosion
// scene's flashes follow, and the mix's dynamics.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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

// The explosion flashes while the left level near the play position is over
// 101 of 128. Only the accented hits may pass that line, each for a moment;
// every other 20 ms window stays under it with room left for decoding
// differences, and the explosion seen at 60 ticks a second flashes once a hit.
TEST(GeneratedMusic, OnlyTheAccentedHitsPassTheFlashLine) {
  audio::PcmTrack t = decoded();
  const std::vector<double> hits = assets::hit_times();
  const uint64_t w = audio::level_window_frames(t);
  std::vector<bool> hit_heard(hits.size(), false);
  for (uint64_t f = 0; f + w < t.frames(); f += w) {
    const double at = double(f) / t.rate;
    const uint32_t level = audio::peak_level(t, f, w) & 0xFFFF;
    size_t k = 0;
    while (k < hits.size() && !(at + 0.02 > hits[k] && at < hits[k] + assets::kHitLength)) ++k;
    if (k < hits.size()) {
      hit_heard[k] = hit_heard[k] || level > 101;
      continue;
    }
    ASSERT_LE(level, 95u) << "an ordinary peak at " << at << " s";
  }
  for (size_t k = 0; k < hits.size(); ++k) EXPECT_TRUE(hit_heard[k]) << "the hit at " << hits[k] << " s";

  const double from = assets::kSectionStart[4], to = assets::kSectionStart[5];
  int flashes = 0;
  bool above = false;
  for (double s = from; s < to; s += 1.0 / 60.0) {
    const bool now = left_level(t, s) > 101;
    flashes += now && !above;
    above = now;
  }
  const auto in_explosion = std::count_if(hits.begin(), hits.end(), [&](double h) { return h >= from && h < to; });
  EXPECT_EQ(flashes, in_explosion);
  EXPECT_GE(flashes, 4);
  EXPECT_LE(flashes, 16);
}

double rms_db(const audio::PcmTrack& t, double a, double b) {
  double sum = 0;
  const uint64_t f0 = uint64_t(a * t.rate), f1 = uint64_t(b * t.rate);
  for (uint64_t f = f0; f < f1; ++f) {
    const double x = t.samples[f * 2] / 32768.0;
    sum += x * x;
  }
  return 10 * std::log10(sum / double(f1 - f0) + 1e-12);
}

// Every section is heard, and the mix has real dynamics: the quiet start and
// the calm forest edge lie well under the explosion's climax.
TEST(GeneratedMusic, EverySectionIsAudibleAndTheClimaxIsLoudest) {
  audio::PcmTrack t = decoded();
  for (int k = 0; k < 6; ++k) {
    const double a = assets::kSectionStart[k], b = assets::kSectionStart[k + 1];
    uint32_t level = audio::peak_level(t, uint64_t(a * t.rate), uint64_t((b - a) * t.rate)) & 0xFFFF;
    EXPECT_GT(level, 40u) << "section " << k;
  }
  const double* T = assets::kSectionStart;
  const double climax = rms_db(t, T[4] + 1, T[5] - 1);
  EXPECT_LT(rms_db(t, 0.5, 9.0), climax - 12) << "the quiet start";
  EXPECT_LT(rms_db(t, T[2] + 1, T[3] - 1), climax - 4) << "the forest edge";
  EXPECT_LT(rms_db(t, T[5] + 2, T[6]), climax - 4) << "the finale";
}

}  // namespace
}  // namespace quarvel::assets_test
