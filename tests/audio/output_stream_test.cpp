#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#include <thread>

#include "audio/mp3_maker.h"
#include "platform/audio/output_stream.h"

namespace quarvel::audio {
namespace {

// A paused device is fed silence, whole buffers of it, until play: the
// offset of the first buffer that holds sound.
constexpr size_t kBufferBytes = 1024 * 4;
constexpr size_t kSoundBytes = 65536;  // compared with the decoded PCM
// The device writes without pause; its file may not grow past this.
constexpr rlim_t kMaxFileBytes = rlim_t{16} << 20;

// Follows the device's file as it grows, reading only the new bytes, until
// `kSoundBytes` of sound follow the silence.
class DiskFileTail {
 public:
  explicit DiskFileTail(std::string path) : path_(std::move(path)) {}
  ~DiskFileTail() {
    if (file_) std::fclose(file_);
  }
  // Reads what was added since the last poll.
  void poll() {
    if (!file_) file_ = std::fopen(path_.c_str(), "rb");
    if (!file_) return;
    std::clearerr(file_);
    uint8_t buf[65536];
    size_t n;
    while (!enough() && (n = std::fread(buf, 1, sizeof buf, file_)) > 0) {
      bytes_.insert(bytes_.end(), buf, buf + n);
      while (scanned_ < bytes_.size() && bytes_[scanned_] == 0) ++scanned_;
    }
  }
  bool enough() const { return scanned_ < bytes_.size() && bytes_.size() >= sound_start() + kSoundBytes; }
  size_t sound_start() const { return scanned_ - scanned_ % kBufferBytes; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
  std::vector<uint8_t> bytes_;
  size_t scanned_ = 0;  // bytes before it are all silence
};

// SDL's "disk" back end stands in for a sound card: it writes what the
// callback gives it to a file, as fast as it can with no delay set. The
// process may write at most kMaxFileBytes to a file meanwhile: past it
// the write fails and SDL gives the device up.
class DiskOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    // ctest runs the cases side by side: each its own file.
    path_ = std::string(QUARVEL_BINARY_DIR) + "/tests/disk_audio_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + std::to_string(getpid()) + ".raw";
    std::remove(path_.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", path_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &file_limit_), 0);
    rlimit capped = file_limit_;
    capped.rlim_cur = std::min(file_limit_.rlim_max, kMaxFileBytes);
    previous_sigxfsz_ = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &capped), 0);
  }
  void TearDown() override {
    setrlimit(RLIMIT_FSIZE, &file_limit_);
    std::signal(SIGXFSZ, previous_sigxfsz_);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_DISKAUDIODELAY");
    std::remove(path_.c_str());
  }
  std::string path_;
  rlimit file_limit_{};
  void (*previous_sigxfsz_)(int) = SIG_DFL;
};

TEST_F(DiskOutput, CallbackDeliversTheDecodedPcmFromTheStart) {
  const uint64_t frames = 44100;
  auto mp3 = testing::encode_mp3(testing::sine_pcm(44100, 2, frames, 440.0, 0.5), 44100, 2);
  PcmTrack track;
  std::string error;
  ASSERT_EQ(decode_mp3(mp3.data(), mp3.size(), track, error), DecodeStatus::ok) << error;
  const std::vector<int16_t> expected = track.samples;
  ASSERT_GE(expected.size() * sizeof(int16_t), kSoundBytes);
  DiskFileTail tail(path_);
  {
    OutputMusicStream stream(std::move(track));
    ASSERT_EQ(stream.output(), OutputKind::sound_device);
    EXPECT_EQ(stream.position(), 0u);
    stream.play(false);
    // The back end runs on its own thread: follow its file, a bounded
    // number of times, until enough sound is there.
    constexpr int kMaxPolls = 2'000'000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int poll = 0; poll < kMaxPolls && !tail.enough() && std::chrono::steady_clock::now() < deadline; ++poll) {
      tail.poll();
      std::this_thread::yield();
    }
    stream.stop();
  }  // closing the device waits for the callback
  ASSERT_TRUE(tail.enough()) << tail.bytes().size() << " bytes read, no " << kSoundBytes << " bytes of sound";
  // What was written before the stop (after it the paused device gets
  // silence again) is the stream's PCM from its first frame.
  EXPECT_EQ(std::memcmp(tail.bytes().data() + tail.sound_start(), expected.data(), kSoundBytes), 0);
}

// A real device that goes away: the disk back end's file reaches a cap, its
// write fails and SDL gives the device up, as it does for a headset pulled
// out. The stream notices, says so once, and its clock takes over.
TEST_F(DiskOutput, DeviceThatSdlGivesUpIsSaidOnceAndTheClockTakesOver) {
  rlimit small = file_limit_;
  small.rlim_cur = std::min<rlim_t>(file_limit_.rlim_max, 256 * 1024);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ::testing::internal::CaptureStderr();
  {
    PcmTrack track;
    track.rate = 44100;
    track.channels = 2;
    track.samples = testing::sine_pcm(44100, 2, 10 * 44100, 440.0, 0.5);
    OutputMusicStream stream(std::move(track));
    ASSERT_EQ(stream.output(), OutputKind::sound_device);
    stream.play(false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (stream.output() == OutputKind::sound_device && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    EXPECT_EQ(stream.output(), OutputKind::clock_thread);
    EXPECT_TRUE(stream.playing());
  }
  const std::string err = ::testing::internal::GetCapturedStderr();
  // (SDL's disk back end says where it writes; that line is SDL's.)
  const std::string line = "sound device lost: the music goes on silent, in time\n";
  const size_t at = err.find(line);
  EXPECT_NE(at, std::string::npos) << err;
  EXPECT_EQ(err.find("sound device", at + line.size()), std::string::npos) << err;
}

TEST_F(DiskOutput, FilesArePreventedFromGrowingPastTheCap) {
  std::FILE* f = std::fopen(path_.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::vector<char> block(1 << 20, 'x');
  size_t written = 0;
  for (int i = 0; i < 20; ++i) written += std::fwrite(block.data(), 1, block.size(), f);
  std::fclose(f);
  EXPECT_LT(written, block.size() * 20);  // the writes past the cap failed
  EXPECT_EQ(std::filesystem::file_size(path_), kMaxFileBytes);
}

}  // namespace
}  // namespace quarvel::audio
