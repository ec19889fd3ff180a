#include <gtest/gtest.h>

#include <random>

#include "audio/mp3_maker.h"
#include "platform/audio/pcm_track.h"

namespace quarvel::audio {
namespace {

using testing::encode_mp3;
using testing::sine_pcm;

TEST(DecodeMp3, ShortStereoFileGivesBackExactlyItsFrames) {
  const uint64_t frames = 44100 / 2 + 123;
  auto mp3 = encode_mp3(sine_pcm(44100, 2, frames, 440.0, 0.5), 44100, 2);
  ASSERT_FALSE(mp3.empty());
  PcmTrack track;
  std::string error;
  ASSERT_EQ(decode_mp3(mp3.data(), mp3.size(), track, error), DecodeStatus::ok) << error;
  EXPECT_EQ(track.rate, 44100);
  EXPECT_EQ(track.channels, 2);
  EXPECT_EQ(track.frames(), frames);
  EXPECT_EQ(track.bytes(), frames * 4);
}

TEST(DecodeMp3, MonoFileKeepsItsOwnRateAndChannelCount) {
  const uint64_t frames = 22050 / 4 + 7;
  auto mp3 = encode_mp3(sine_pcm(22050, 1, frames, 300.0, 0.5), 22050, 1, 64);
  PcmTrack track;
  std::string error;
  ASSERT_EQ(decode_mp3(mp3.data(), mp3.size(), track, error), DecodeStatus::ok) << error;
  EXPECT_EQ(track.rate, 22050);
  EXPECT_EQ(track.channels, 1);
  EXPECT_EQ(track.frame_bytes(), 2u);
  EXPECT_EQ(track.frames(), frames);
}

TEST(DecodeMp3, DecodedSoundFollowsTheEncodedSine) {
  const uint64_t frames = 44100 / 4;
  auto pcm = sine_pcm(44100, 2, frames, 441.0, 0.5);
  auto mp3 = encode_mp3(pcm, 44100, 2, 192);
  PcmTrack track;
  std::string error;
  ASSERT_EQ(decode_mp3(mp3.data(), mp3.size(), track, error), DecodeStatus::ok) << error;
  ASSERT_EQ(track.frames(), frames);
  // Gapless decoding puts every sample back in its place: the error stays
  // small against the 16384 amplitude of the left channel.
  double error_sum = 0, signal_sum = 0;
  for (uint64_t i = 2000; i < frames - 2000; ++i) {
    double d = track.samples[i * 2] - pcm[i * 2];
    error_sum += d * d;
    signal_sum += static_cast<double>(pcm[i * 2]) * pcm[i * 2];
  }
  EXPECT_LT(error_sum, signal_sum * 0.01);
}

TEST(DecodeMp3, RealThirdPartyFile) {
  PcmTrack track;
  std::string error;
  ASSERT_EQ(decode_mp3_file(testing::idle_tune_path(), track, error), DecodeStatus::ok) << error;
  EXPECT_EQ(track.rate, 44100);
  EXPECT_EQ(track.channels, 2);
  // 44.7 seconds of music.
  EXPECT_NEAR(static_cast<double>(track.frames()) / 44100.0, 44.7, 0.1);
  EXPECT_EQ(track.samples.size() % 2, 0u);
  EXPECT_GT(peak_level(track, 0, track.frames()) & 0xFFFF, 64u);
}

TEST(DecodeMp3, MissingFileIsUnreadableWithTheSystemReason) {
  PcmTrack track;
  std::string error;
  EXPECT_EQ(decode_mp3_file(std::string(QUARVEL_BINARY_DIR) + "/tests/no_such_music.mp3", track, error),
            DecodeStatus::unreadable);
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  EXPECT_TRUE(track.empty());
}

TEST(DecodeMp3, DirectoryIsRefused) {
  PcmTrack track;
  std::string error;
  EXPECT_NE(decode_mp3_file(std::string(QUARVEL_BINARY_DIR), track, error), DecodeStatus::ok);
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(track.empty());
}

TEST(DecodeMp3, EmptyFileIsRefused) {
  auto path = testing::write_file("empty_music.mp3", {});
  PcmTrack track;
  std::string error;
  EXPECT_EQ(decode_mp3_file(path, track, error), DecodeStatus::undecodable);
  EXPECT_EQ(error, "empty file");
  EXPECT_TRUE(track.empty());
}

TEST(DecodeMp3, FileCutInsideItsFirstFrameIsRefused) {
  auto mp3 = encode_mp3(sine_pcm(44100, 2, 44100, 440.0, 0.5), 44100, 2);
  for (size_t keep : {1u, 4u, 40u, 200u}) {
    PcmTrack track;
    std::string error;
    EXPECT_EQ(decode_mp3(mp3.data(), keep, track, error), DecodeStatus::undecodable) << keep;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(track.empty());
  }
}

TEST(DecodeMp3, FileCutHalfwayKeepsTheFramesBeforeTheCut) {
  const uint64_t frames = 44100;
  auto mp3 = encode_mp3(sine_pcm(44100, 2, frames, 440.0, 0.5), 44100, 2);
  PcmTrack track;
  std::string error;
  ASSERT_EQ(decode_mp3(mp3.data(), mp3.size() / 2, track, error), DecodeStatus::ok) << error;
  EXPECT_GT(track.frames(), frames / 4);
  EXPECT_LT(track.frames(), frames);
}

TEST(DecodeMp3, DamagedBytesInsideAGoodFileDecodeWithoutHarm) {
  const uint64_t frames = 44100;
  const auto good = encode_mp3(sine_pcm(44100, 2, frames, 440.0, 0.5), 44100, 2);
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    auto bytes = good;
    for (int i = 0; i < 50; ++i) bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
    PcmTrack track;
    std::string error;
    DecodeStatus status = decode_mp3(bytes.data(), bytes.size(), track, error);
    if (status == DecodeStatus::ok) {
      EXPECT_LE(track.frames(), 2 * frames) << round;
      EXPECT_EQ(track.samples.size(), track.frames() * track.channels);
    } else {
      EXPECT_TRUE(track.empty());
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(DecodeMp3, RandomBytesAreRefused) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(20000 + seed * 997);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    PcmTrack track;
    std::string error;
    EXPECT_EQ(decode_mp3(bytes.data(), bytes.size(), track, error), DecodeStatus::undecodable) << seed;
    EXPECT_NE(error.find("not an MP3 stream"), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace quarvel::audio
