#include <gtest/gtest.h>

#include <vector>

#include "platform/audio/stream_player.h"

namespace quarvel::audio {
namespace {

constexpr int64_t kMs = 1'000'000;

// 1000 stereo frames a second; sample values count up so copies are traceable.
PcmTrack counting_track(uint64_t frames) {
  PcmTrack t;
  t.rate = 1000;
  t.channels = 2;
  for (uint64_t i = 0; i < frames; ++i) {
    t.samples.push_back(static_cast<int16_t>(i + 1));
    t.samples.push_back(static_cast<int16_t>(-static_cast<int>(i + 1)));
  }
  return t;
}

struct Fixture {
  explicit Fixture(PcmTrack pcm) : track(std::move(pcm)), player(track, [this] { return now; }) {}
  explicit Fixture(uint64_t frames) : Fixture(counting_track(frames)) {}
  std::vector<int16_t> render(size_t frames) {
    std::vector<int16_t> out(frames * 2, 12345);
    player.render(reinterpret_cast<uint8_t*>(out.data()), out.size() * 2);
    return out;
  }
  int64_t now = 0;
  TrackBuffer track;
  StreamPlayer player;
};

TEST(StreamPlayer, StoppedOutputGetsSilence) {
  Fixture f(100);
  auto out = f.render(10);
  for (int16_t s : out) EXPECT_EQ(s, 0);
  EXPECT_EQ(f.player.position(), 0u);
}

TEST(StreamPlayer, RenderCopiesThePcmThatFollows) {
  Fixture f(100);
  f.player.play(false);
  auto a = f.render(10);
  auto b = f.render(10);
  EXPECT_EQ(a[0], 1);
  EXPECT_EQ(a[1], -1);
  EXPECT_EQ(a[19], -10);
  EXPECT_EQ(b[0], 11);
}

TEST(StreamPlayer, LoopingRenderWrapsToTheStart) {
  Fixture f(15);
  f.player.play(true);
  auto a = f.render(10);
  auto b = f.render(10);
  EXPECT_EQ(b[0], 11);
  EXPECT_EQ(b[8], 15);
  EXPECT_EQ(b[10], 1);  // frame 5 of the chunk is the stream's first frame again
}

TEST(StreamPlayer, PastTheEndWithoutLoopIsSilence) {
  Fixture f(15);
  f.player.play(false);
  f.render(10);
  auto b = f.render(10);
  EXPECT_EQ(b[8], 15);
  EXPECT_EQ(b[10], 0);
  EXPECT_EQ(b[19], 0);
}

TEST(StreamPlayer, PartFrameAtTheEndOfABufferIsSilence) {
  Fixture f(100);
  f.player.play(false);
  std::vector<uint8_t> out(4 * 3 + 2, 0xAB);
  f.player.render(out.data(), out.size());
  EXPECT_EQ(out[12], 0);
  EXPECT_EQ(out[13], 0);
  EXPECT_EQ(f.player.position(), 12u);  // three whole frames taken
}

TEST(StreamPlayer, PositionIsInBytesOfWholeFrames) {
  Fixture f(1000);
  f.player.play(false);
  f.now = 100 * kMs;
  f.player.advance(100);
  f.now = 150 * kMs + kMs / 3;
  EXPECT_EQ(f.player.position(), 150u * 4);
  EXPECT_EQ(f.player.position() % 4, 0u);
}

TEST(StreamPlayer, LevelIsTheTrackLevelAtThePositionWhilePlaying) {
  PcmTrack t = counting_track(1000);
  t.samples[500 * 2] = 32767;
  Fixture f(std::move(t));
  EXPECT_EQ(f.player.level(), 0u);
  f.player.seek(500 * 4);
  EXPECT_EQ(f.player.level(), 0u);  // not playing: nothing heard
  f.player.play(false);
  EXPECT_EQ(f.player.level() & 0xFFFF, 128u);
}

TEST(StreamPlayer, EmptyTrackRefusesToPlay) {
  TrackBuffer empty{PcmTrack{}};
  int64_t now = 0;
  StreamPlayer player(empty, [&] { return now; });
  EXPECT_FALSE(player.play(true));
  std::vector<uint8_t> out(64, 7);
  player.render(out.data(), out.size());
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(player.position(), 0u);
}

TEST(StreamPlayer, LoadCountsTheTimeSpentRendering) {
  TrackBuffer t(counting_track(100000));
  int64_t now = 0;
  int calls = 0;
  // Each render reads the clock twice: at its start and at its end, 1 ms later.
  StreamPlayer player(t, [&] { return (calls++ % 2 == 0) ? now : now + kMs; });
  player.play(false);
  calls = 0;
  std::vector<uint8_t> out(400);
  for (int i = 0; i < 5; ++i) {
    now = i * 100 * kMs;
    player.render(out.data(), out.size());
  }
  // 5 ms of work in 400 ms.
  now = 400 * kMs;
  calls = 0;
  EXPECT_NEAR(player.load(), 100.0 * 5 / 400, 0.01);
}

TEST(StreamPlayer, TheVolumeScalesWhatIsHeardOnly) {
  Fixture f(100);
  f.player.play(false);
  f.player.set_volume(50);
  auto half = f.render(10);
  EXPECT_EQ(half[18], 5);    // frame 10: 10 and -10, halved
  EXPECT_EQ(half[19], -5);
  f.player.set_volume(0);
  for (int16_t s : f.render(10)) EXPECT_EQ(s, 0);
  f.player.set_volume(250);  // clamped to the whole track
  EXPECT_EQ(f.render(1)[0], 21);
}

}  // namespace
}  // namespace quarvel::audio
