#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <thread>

#include "audio/mp3_maker.h"
#include "platform/audio/output_stream.h"

namespace quarvel::audio {
namespace {

std::vector<uint8_t> read_all(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
  }
  return bytes;
}

// A paused device is fed silence, whole buffers of it, until play: the
// offset of the first buffer that holds sound.
constexpr size_t kBufferBytes = 1024 * 4;
size_t first_sound(const std::vector<uint8_t>& bytes) {
  size_t start = 0;
  while (start < bytes.size() && bytes[start] == 0) ++start;
  return start - start % kBufferBytes;
}

// SDL's "disk" back end stands in for a sound card: it writes what the
// callback gives it to a file, as fast as it can with no delay set.
class DiskOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::string(QUARVEL_BINARY_DIR) + "/tests/disk_audio.raw";
    std::remove(path_.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
  }
  void TearDown() override {
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_DISKAUDIODELAY");
  }
  std::string path_;
};

TEST_F(DiskOutput, CallbackDeliversTheDecodedPcmFromTheStart) {
  const uint64_t frames = 44100;
  auto mp3 = testing::encode_mp3(testing::sine_pcm(44100, 2, frames, 440.0, 0.5), 44100, 2);
  PcmTrack track;
  std::string error;
  ASSERT_EQ(decode_mp3(mp3.data(), mp3.size(), track, error), DecodeStatus::ok) << error;
  const std::vector<int16_t> expected = track.samples;
  {
    OutputMusicStream stream(std::move(track));
    ASSERT_EQ(stream.output(), OutputKind::sound_device);
    EXPECT_EQ(stream.position(), 0u);
    stream.play(false);
    // The back end runs on its own thread; wait (bounded) for some sound.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      auto bytes = read_all(path_);
      if (bytes.size() >= first_sound(bytes) + 65536 || std::chrono::steady_clock::now() > deadline) break;
      std::this_thread::yield();
    }
    stream.stop();
  }  // closing the device waits for the callback
  const std::vector<uint8_t> written = read_all(path_);
  const size_t start = first_sound(written);
  ASSERT_GE(written.size(), start + 65536);
  // What was written before the stop (after it the paused device gets
  // silence again) is the stream's PCM from its first frame.
  EXPECT_EQ(std::memcmp(written.data() + start, expected.data(), 65536), 0);
}

}  // namespace
}  // namespace quarvel::audio
