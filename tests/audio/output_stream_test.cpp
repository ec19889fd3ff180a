#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "audio/mp3_maker.h"
#include "platform/audio/output_stream.h"

namespace quarvel::audio {
namespace {

long file_size(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  long n = std::ftell(f);
  std::fclose(f);
  return n;
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
    // The back end runs on its own thread; wait (bounded) for a few buffers.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (file_size(path_) < 32768 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    stream.stop();
  }  // closing the device waits for the callback
  std::vector<uint8_t> written(static_cast<size_t>(file_size(path_)));
  ASSERT_GE(written.size(), 32768u);
  std::FILE* f = std::fopen(path_.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fread(written.data(), 1, written.size(), f), written.size());
  std::fclose(f);
  const size_t compare = std::min(written.size(), expected.size() * 2);
  EXPECT_EQ(std::memcmp(written.data(), expected.data(), compare), 0);
}

}  // namespace
}  // namespace quarvel::audio
