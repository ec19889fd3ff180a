#include <gtest/gtest.h>

#include "audio/mp3_maker.h"
#include "platform/audio/music_system.h"
#include "platform/audio/virtual_stream.h"

namespace quarvel::audio {
namespace {

PcmTrack ramp_track(int rate, uint64_t frames) {
  PcmTrack t;
  t.rate = rate;
  t.channels = 2;
  t.samples.assign(frames * 2, 0);
  return t;
}

TEST(VirtualMusicStream, StaysAtZeroUntilPlayed) {
  VirtualMusicStream s(ramp_track(44100, 44100));
  s.advance_frames(1000);
  EXPECT_EQ(s.position(), 0u);
  EXPECT_FALSE(s.playing());
}

TEST(VirtualMusicStream, CallerAdvancesThePositionInBytes) {
  VirtualMusicStream s(ramp_track(44100, 441000));
  s.play(false);
  s.advance_frames(44100);
  EXPECT_EQ(s.position(), 176400u);  // one second of 16-bit stereo
  s.advance_seconds(0.5);
  EXPECT_EQ(s.position(), 176400u + 88200u);
}

TEST(VirtualMusicStream, FractionsOfFramesAreCarriedOver) {
  VirtualMusicStream s(ramp_track(44100, 441000));
  s.play(false);
  for (int i = 0; i < 60; ++i) s.advance_seconds(1.0 / 60.0);  // 735 frames a tick
  EXPECT_EQ(s.frame(), 44100u);
  VirtualMusicStream t(ramp_track(1000, 10000));
  t.play(false);
  for (int i = 0; i < 3; ++i) t.advance_seconds(0.0004);  // 0.4 frame each
  EXPECT_EQ(t.frame(), 1u);
  EXPECT_EQ(t.position() % 4, 0u);
}

TEST(VirtualMusicStream, LoopsBackToTheStart) {
  VirtualMusicStream s(ramp_track(1000, 1000));
  s.play(true);
  s.advance_frames(999);
  EXPECT_EQ(s.frame(), 999u);
  s.advance_frames(1);
  EXPECT_EQ(s.frame(), 0u);
  s.advance_frames(2500);
  EXPECT_EQ(s.frame(), 500u);
  EXPECT_TRUE(s.playing());
}

TEST(VirtualMusicStream, WithoutLoopStopsAtTheEnd) {
  VirtualMusicStream s(ramp_track(1000, 1000));
  s.play(false);
  s.advance_frames(5000);
  EXPECT_EQ(s.frame(), 1000u);
  EXPECT_FALSE(s.playing());
  s.advance_frames(10);
  EXPECT_EQ(s.frame(), 1000u);
}

TEST(VirtualMusicStream, StopHoldsThePosition) {
  VirtualMusicStream s(ramp_track(1000, 1000));
  s.play(true);
  s.advance_frames(300);
  s.stop();
  s.advance_frames(300);
  EXPECT_EQ(s.frame(), 300u);
  s.play(true);
  s.advance_frames(1);
  EXPECT_EQ(s.frame(), 301u);
}

TEST(VirtualMusicStream, LevelComesFromTheRealDecodedFile) {
  PcmTrack track;
  std::string error;
  ASSERT_EQ(decode_mp3_file(testing::idle_tune_path(), track, error), DecodeStatus::ok) << error;
  const uint64_t at = 22 * 44100 + 20000;
  const uint32_t expected = level_near(track, at);
  VirtualMusicStream s(std::move(track));
  s.play(true);
  s.advance_frames(at);
  EXPECT_EQ(s.level(), expected);
  EXPECT_GT(s.level() & 0xFFFF, 0u);
  s.stop();
  EXPECT_EQ(s.level(), 0u);
}

TEST(VirtualMusicSystem, AdvancesEveryPlayingStream) {
  MusicSystem music(Playback::virtual_clock);
  ASSERT_TRUE(music.init(-1, 44100, 16, nullptr));
  uint32_t h = music.open_stream(testing::idle_tune_path());
  ASSERT_NE(h, 0u);
  music.advance_seconds(1.0);
  EXPECT_EQ(music.position(h), 0u);  // not playing yet
  ASSERT_TRUE(music.play_stream(h, false, true));
  music.advance_seconds(2.0);
  EXPECT_EQ(music.position(h), 2u * 176400u);
  music.advance_frames(100);
  EXPECT_EQ(music.position(h), 2u * 176400u + 400u);
  EXPECT_EQ(music.load(), 0.0f);
}

}  // namespace
}  // namespace quarvel::audio
