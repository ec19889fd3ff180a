#include <gtest/gtest.h>

#include "audio/mp3_maker.h"
#include "platform/audio/music_system.h"
#include "platform/audio/output_stream.h"

namespace quarvel::audio {
namespace {

std::string short_mp3(const std::string& name, uint64_t frames) {
  return testing::write_file(name, testing::encode_mp3(testing::sine_pcm(44100, 2, frames, 440.0, 0.9), 44100, 2));
}

TEST(MusicSystem, ReportsTheVersionTheStartUpAccepts) {
  MusicSystem music(Playback::virtual_clock);
  EXPECT_EQ(music.version(), 524288u);
  EXPECT_EQ(music.version() & 0xFFFF, 0u);
  EXPECT_EQ(music.version() >> 16, 8u);
}

TEST(MusicSystem, InitOnceOnly) {
  MusicSystem music(Playback::virtual_clock);
  EXPECT_TRUE(music.init(-1, 44100, 16, nullptr));
  EXPECT_FALSE(music.init(-1, 44100, 16, nullptr));
  EXPECT_EQ(music.last_error(), static_cast<int>(MusicError::already));
  EXPECT_TRUE(music.start());
}

TEST(MusicSystem, NoStreamBeforeInit) {
  MusicSystem music(Playback::virtual_clock);
  EXPECT_EQ(music.open_stream(short_mp3("before_init.mp3", 4410)), 0u);
  EXPECT_EQ(music.last_error(), static_cast<int>(MusicError::init));
}

TEST(MusicSystem, MissingFileGivesHandleZeroAndOneLineNamingIt) {
  MusicSystem music(Playback::virtual_clock);
  music.init(-1, 44100, 16, nullptr);
  ::testing::internal::CaptureStderr();
  uint32_t h = music.open_stream("no_such_dir/sik_test.mp3");
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(music.last_error(), static_cast<int>(MusicError::file_open));
  EXPECT_EQ(err, "music file no_such_dir/sik_test.mp3: cannot open (No such file or directory)\n");
}

TEST(MusicSystem, UndecodableFileGivesHandleZero) {
  MusicSystem music(Playback::virtual_clock);
  music.init(-1, 44100, 16, nullptr);
  auto path = testing::write_file("not_music.mp3", std::vector<uint8_t>(5000, 0x41));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(music.open_stream(path), 0u);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(music.last_error(), static_cast<int>(MusicError::file_form));
  EXPECT_NE(err.find(path), std::string::npos);
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}

TEST(MusicSystem, HandleZeroAlwaysGivesTheSamePositionAndNoLevel) {
  MusicSystem music(Playback::virtual_clock);
  music.init(-1, 44100, 16, nullptr);
  EXPECT_FALSE(music.play_stream(0, false, true));
  music.advance_seconds(3.0);
  EXPECT_EQ(music.position(0), 0u);
  EXPECT_EQ(music.position(0), 0u);
  EXPECT_EQ(music.level(0), 0u);
  EXPECT_EQ(music.last_error(), static_cast<int>(MusicError::handle));
}

TEST(MusicSystem, ModulePlayRefusesAStreamAndLeavesItStopped) {
  MusicSystem music(Playback::virtual_clock);
  music.init(-1, 44100, 16, nullptr);
  uint32_t h = music.open_stream(short_mp3("module_refused.mp3", 44100));
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(music.play_module(h));
  EXPECT_EQ(music.last_error(), static_cast<int>(MusicError::not_module));
  music.advance_seconds(0.5);
  EXPECT_EQ(music.position(h), 0u);
}

TEST(MusicSystem, PlayFromStartRewinds) {
  MusicSystem music(Playback::virtual_clock);
  music.init(-1, 44100, 16, nullptr);
  uint32_t h = music.open_stream(short_mp3("rewind.mp3", 44100));
  music.play_stream(h, false, true);
  music.advance_frames(1000);
  music.play_stream(h, false, true);  // plays on
  EXPECT_EQ(music.position(h), 4000u);
  music.play_stream(h, true, true);
  EXPECT_EQ(music.position(h), 0u);
}

TEST(MusicSystem, LoudPassageRaisesTheLeftLevelAboveTheFlashThreshold) {
  MusicSystem music(Playback::virtual_clock);
  music.init(-1, 44100, 16, nullptr);
  uint32_t h = music.open_stream(short_mp3("loud.mp3", 44100));  // 0.9 full scale left, 0.45 right
  music.play_stream(h, false, true);
  music.advance_frames(22050);
  uint32_t level = music.level(h);
  EXPECT_GT(level & 0xFFFF, 101u);
  EXPECT_LT(level >> 16, 101u);
}

TEST(MusicSystem, FreeReleasesEveryStream) {
  MusicSystem music(Playback::virtual_clock);
  music.init(-1, 44100, 16, nullptr);
  uint32_t h = music.open_stream(short_mp3("freed.mp3", 4410));
  ASSERT_NE(music.stream(h), nullptr);
  music.free();
  EXPECT_EQ(music.stream(h), nullptr);
  EXPECT_EQ(music.position(h), 0u);
  EXPECT_TRUE(music.init(-1, 44100, 16, nullptr));  // can start over
}

TEST(MusicSystem, ClockThreadStreamStartsStoppedAtZero) {
  MusicSystem music(Playback::clock_thread);
  music.init(-1, 44100, 16, nullptr);
  uint32_t h = music.open_stream(short_mp3("clock_thread.mp3", 44100));
  ASSERT_NE(h, 0u);
  auto* stream = dynamic_cast<OutputMusicStream*>(music.stream(h));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->output(), OutputKind::clock_thread);
  EXPECT_EQ(music.position(h), 0u);
  EXPECT_TRUE(music.play_stream(h, false, true));
  EXPECT_EQ(music.position(h) % 4, 0u);
  EXPECT_LT(music.position(h), 44100u * 4);
}

TEST(MusicSystem, OpeningTheOutputPrintsNothing) {
  // On a machine without a sound card the output falls back to the clock
  // thread; neither case may print anything.
  MusicSystem music(Playback::output);
  music.init(-1, 44100, 16, nullptr);
  auto path = short_mp3("quiet_open.mp3", 4410);
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  uint32_t h = music.open_stream(path);
  music.play_stream(h, false, true);
  music.free();
  std::string out = ::testing::internal::GetCapturedStdout();
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(h, 0u);
  EXPECT_EQ(err, "");
  EXPECT_EQ(out, "");
}

// A paused or seeking player holds the music: the held stream stands still
// while time goes by, moves on only when told (as the same stream playing
// would, level and loop included), and plays on when released.
TEST(MusicSystem, AHeldStreamMovesOnlyWhenToldAndAsPlayingWould) {
  const std::string file = short_mp3("held.mp3", 44100);
  MusicSystem playing(Playback::virtual_clock), held(Playback::virtual_clock);
  playing.init(-1, 44100, 16, nullptr);
  held.init(-1, 44100, 16, nullptr);
  const uint32_t p = playing.open_stream(file), h = held.open_stream(file);
  playing.play_stream(p, false, true);
  held.play_stream(h, false, true);
  playing.advance_seconds(0.25);
  held.advance_seconds(0.25);
  held.hold();
  EXPECT_TRUE(held.held());
  held.advance_seconds(0.5);  // time goes by: the held stream stays
  EXPECT_EQ(held.position(h), playing.position(p));
  held.play_stream(h, false, true);  // asked to play while held: noted only
  EXPECT_FALSE(held.stream(h)->playing());
  for (int i = 0; i < 3; ++i) {  // 0.9 s: past the 1 s track's end, wrapping
    playing.advance_seconds(0.3);
    held.move_held_seconds(0.3);
    EXPECT_EQ(held.position(h), playing.position(p)) << i;
    EXPECT_EQ(held.level(h), playing.level(p)) << i;
  }
  EXPECT_LT(held.position(h), 4u * 44100 / 2);
  held.release();
  EXPECT_TRUE(held.stream(h)->playing());
  playing.advance_seconds(0.1);
  held.advance_seconds(0.1);
  EXPECT_EQ(held.position(h), playing.position(p));
  // Rewound while held: at the start, playing no more when released.
  held.hold();
  held.rewind();
  held.release();
  EXPECT_EQ(held.position(h), 0u);
  EXPECT_FALSE(held.stream(h)->playing());
}

}  // namespace
}  // namespace quarvel::audio
