#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "audio/mp3_maker.h"
#include "platform/audio/music_system.h"
#include "platform/audio/stream_player.h"
#include "platform/audio/track_buffer.h"
#include "platform/audio/virtual_stream.h"

namespace quarvel::audio {
namespace {

constexpr int kRate = 16000;

// A minute of mono tone whose loudness steps every second, so that levels
// at different places differ. Made once: encoding takes a moment.
const std::vector<uint8_t>& long_mp3() {
  static const std::vector<uint8_t> bytes = [] {
    auto pcm = testing::sine_pcm(kRate, 1, 60 * kRate, 440.0, 0.9);
    for (size_t i = 0; i < pcm.size(); ++i)
      pcm[i] = static_cast<int16_t>(pcm[i] * static_cast<int>(1 + i / kRate % 4) / 4);
    return testing::encode_mp3(pcm, kRate, 1, 32);
  }();
  return bytes;
}

const PcmTrack& long_track() {
  static const PcmTrack track = [] {
    PcmTrack t;
    std::string error;
    EXPECT_EQ(decode_mp3(long_mp3().data(), long_mp3().size(), t, error), DecodeStatus::ok) << error;
    return t;
  }();
  return track;
}

std::unique_ptr<TrackBuffer> open_long(double lead_seconds) {
  DecodeStatus status = DecodeStatus::undecodable;
  std::string error;
  auto buffer = TrackBuffer::open_mp3(long_mp3(), status, error, lead_seconds);
  EXPECT_EQ(status, DecodeStatus::ok) << error;
  return buffer;
}

PcmTrack counting_track(uint64_t frames) {
  PcmTrack t;
  t.rate = 1000;
  t.channels = 2;
  for (uint64_t i = 0; i < frames; ++i) {
    t.samples.push_back(static_cast<int16_t>(i));
    t.samples.push_back(static_cast<int16_t>(~i));
  }
  return t;
}

TEST(TrackBuffer, CopiesAcrossItsBlocksAndStopsAtTheEnd) {
  TrackBuffer buffer(counting_track(70000));
  EXPECT_TRUE(buffer.complete());
  EXPECT_EQ(buffer.decoded(), 70000u);
  std::vector<int16_t> out(2 * 100, 99);
  EXPECT_EQ(buffer.copy(32760, 20, reinterpret_cast<uint8_t*>(out.data())), 20u);
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(out[2 * i], static_cast<int16_t>(32760 + i));
    EXPECT_EQ(out[2 * i + 1], static_cast<int16_t>(~(32760 + i)));
  }
  EXPECT_EQ(buffer.copy(69990, 100, reinterpret_cast<uint8_t*>(out.data())), 10u);
  EXPECT_EQ(out[0], static_cast<int16_t>(69990));
  EXPECT_EQ(buffer.wait_for(1u << 20), 70000u);  // complete: nothing to wait for
}

TEST(TrackBuffer, RefusesWhatIsNotMp3) {
  DecodeStatus status = DecodeStatus::ok;
  std::string error;
  EXPECT_EQ(TrackBuffer::open_mp3(std::vector<uint8_t>(5000, 0x41), status, error), nullptr);
  EXPECT_EQ(status, DecodeStatus::undecodable);
  EXPECT_NE(error.find("not an MP3 stream"), std::string::npos);
  EXPECT_EQ(TrackBuffer::open_mp3_file("no_such_dir/x.mp3", status, error), nullptr);
  EXPECT_EQ(status, DecodeStatus::unreadable);
}

TEST(TrackBuffer, DecodesOnlyALeadAheadOfWhatIsAskedFor) {
  auto buffer = open_long(1.0);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->rate(), kRate);
  EXPECT_EQ(buffer->channels(), 1);
  buffer->wait_for(kRate / 2);
  // The decoder stops a second ahead (give or take one MPEG frame).
  EXPECT_FALSE(buffer->complete());
  EXPECT_LT(buffer->decoded(), 2u * kRate);
  // Asking for a place further on decodes up to it, the same samples as a
  // whole decode.
  EXPECT_GE(buffer->wait_for(30 * kRate), 30u * kRate);
  EXPECT_FALSE(buffer->complete());
  std::vector<int16_t> got(1000);
  ASSERT_EQ(buffer->copy(29 * kRate, 1000, reinterpret_cast<uint8_t*>(got.data())), 1000u);
  EXPECT_EQ(std::memcmp(got.data(), long_track().samples.data() + 29 * kRate, 2000), 0);
  // Asking past the end completes it at the whole decode's exact length.
  EXPECT_EQ(buffer->wait_for(std::numeric_limits<uint64_t>::max()), long_track().frames());
  EXPECT_TRUE(buffer->complete());
}

TEST(TrackBuffer, LevelWaitsForItsWindowAndMatchesTheWholeTrack) {
  auto buffer = open_long(0.0);  // decodes nothing unless asked
  ASSERT_NE(buffer, nullptr);
  for (uint64_t at : {uint64_t{0}, uint64_t{45 * kRate + 123}, uint64_t{12 * kRate}, long_track().frames() - 1})
    EXPECT_EQ(buffer->level_near(at), level_near(long_track(), at)) << at;
}

TEST(TrackBuffer, DestroyedMidDecodeStopsCleanly) {
  // Held back: the decoder waits for demand when the buffer goes.
  auto idle = open_long(0.0);
  ASSERT_NE(idle, nullptr);
  EXPECT_FALSE(idle->complete());
  idle.reset();
  // Busy: the decoder is asked for the whole track and stopped part way.
  auto busy = open_long(1e6);
  ASSERT_NE(busy, nullptr);
  busy->want(std::numeric_limits<uint64_t>::max() / 2);
  busy.reset();
  EXPECT_EQ(busy, nullptr);
}

// The headless runner's view: a virtual stream over a file still decoding
// gives, tick after tick, the positions and levels of the whole decoded
// track, through the end of the track and around its loop.
TEST(VirtualStreamWhileDecoding, SameAnswersAsTheWholeDecodedTrack) {
  MusicSystem music(Playback::virtual_clock);
  music.set_decode_lead_seconds(0.5);
  ASSERT_TRUE(music.init(-1, 44100, 16, nullptr));
  const uint32_t h = music.open_stream(testing::idle_tune_path());
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(music.stream(h)->track().complete());

  PcmTrack whole;
  std::string error;
  ASSERT_EQ(decode_mp3_file(testing::idle_tune_path(), whole, error), DecodeStatus::ok) << error;
  const double seconds = static_cast<double>(whole.frames()) / whole.rate;
  VirtualMusicStream reference(std::move(whole));

  ASSERT_TRUE(music.play_stream(h, false, true));
  reference.play(true);
  int mismatches = 0;
  const int ticks = static_cast<int>((seconds + 2.0) * 60);
  for (int tick = 0; tick < ticks; ++tick) {
    music.advance_seconds(1.0 / 60);
    reference.advance_seconds(1.0 / 60);
    if (music.position(h) != reference.position() || music.level(h) != reference.level()) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_LT(music.position(h), 3u * 44100 * 4);  // looped back to the start
}

TEST(VirtualStreamWhileDecoding, FirstAnswersComeBeforeTheDecodeFinishes) {
  VirtualMusicStream stream(open_long(1.0));
  ASSERT_TRUE(stream.play(false));
  stream.advance_seconds(0.5);
  EXPECT_EQ(stream.position(), static_cast<uint32_t>(kRate / 2 * 2));
  EXPECT_EQ(stream.level(), level_near(long_track(), kRate / 2));
  EXPECT_GT(stream.level() & 0xFFFF, 0u);
  EXPECT_FALSE(stream.track().complete());
}

TEST(VirtualStreamWhileDecoding, LoopWrapsExactlyAtTheEnd) {
  const uint64_t total = long_track().frames();
  ASSERT_GE(total, 60u * kRate);  // the whole decode's length
  VirtualMusicStream looping(open_long(0.0));
  looping.play(true);
  looping.advance_frames(total - 1);
  EXPECT_EQ(looping.frame(), total - 1);
  looping.advance_frames(1);
  EXPECT_EQ(looping.frame(), 0u);
  looping.advance_frames(total + 7);
  EXPECT_EQ(looping.frame(), 7u);

  VirtualMusicStream once(open_long(0.0));
  once.play(false);
  once.advance_frames(total - 1);
  EXPECT_TRUE(once.playing());
  once.advance_frames(2);
  EXPECT_EQ(once.frame(), total);
  EXPECT_FALSE(once.playing());
}

// An output that took frames past the end before the decoder found the end
// lands where a stream of known length would: the loop wraps at the end.
TEST(StreamPlayerWhileDecoding, WrapsAtTheEndOnceTheLengthIsKnown) {
  auto buffer = open_long(0.0);
  ASSERT_NE(buffer, nullptr);
  int64_t now = 0;
  StreamPlayer player(*buffer, [&] { return now; });
  ASSERT_TRUE(player.play(true));
  const uint64_t total = long_track().frames();
  for (uint64_t taken = 0; taken < total + 100; taken += 1000) player.advance(std::min<uint64_t>(1000, total + 100 - taken));
  buffer->wait_for(std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(player.frame(), 100u);
  EXPECT_TRUE(player.playing());
  // What a device is fed from here on is the track's start.
  std::vector<int16_t> out(50);
  player.render(reinterpret_cast<uint8_t*>(out.data()), out.size() * 2);
  EXPECT_EQ(std::memcmp(out.data(), long_track().samples.data() + 100, out.size() * 2), 0);
}

}  // namespace
}  // namespace quarvel::audio
