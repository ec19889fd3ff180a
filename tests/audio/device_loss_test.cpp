// The sound device going away under a playing stream, coming back, or
// missing from the start: one line said, and the position runs on at the
// music's rate on the stream's clock. The device is a stand-in that fails
// on demand and renders only when the test pulls; time is the test's.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/audio/output_stream.h"

namespace quarvel::audio {
namespace {

constexpr int kRate = 44100;
constexpr uint32_t kFrameBytes = 4;  // 16-bit stereo
constexpr int64_t kSecond = 1'000'000'000;
constexpr uint64_t kLatency = 2048;  // frames the device holds

// What the stand-in device does and is told, shared with the test (the
// stream owns the device itself).
struct DeviceState {
  bool can_open = true;
  bool lost = false;
  bool open = false;
  bool paused = true;
  int opens = 0;  // attempts
  RenderFunction render;
};

class FakeSoundOutput final : public SoundOutput {
 public:
  explicit FakeSoundOutput(std::shared_ptr<DeviceState> state) : state_(std::move(state)) {}
  bool open(int rate, int channels, RenderFunction render, uint64_t& latency_frames) override {
    ++state_->opens;
    if (!state_->can_open || rate != kRate || channels != 2) return false;
    state_->open = true;
    state_->paused = true;
    state_->lost = false;
    state_->render = std::move(render);
    latency_frames = kLatency;
    return true;
  }
  void pause(bool paused) override { state_->paused = paused; }
  bool lost() override { return state_->open && state_->lost; }
  void close() override {
    state_->open = false;
    state_->render = nullptr;
  }

 private:
  std::shared_ptr<DeviceState> state_;
};

// Ten seconds of stereo whose left sample tells its frame (frame % 30000)
// and whose right sample is its negative.
PcmTrack counting_track() {
  PcmTrack track;
  track.rate = kRate;
  track.channels = 2;
  for (int f = 0; f < 10 * kRate; ++f) {
    track.samples.push_back(static_cast<int16_t>(f % 30000));
    track.samples.push_back(static_cast<int16_t>(-(f % 30000)));
  }
  return track;
}

class DeviceLoss : public ::testing::Test {
 protected:
  std::unique_ptr<OutputMusicStream> make_stream() {
    OutputSetup setup;
    setup.device = std::make_unique<FakeSoundOutput>(device);
    setup.now = [this] { return now; };
    setup.say = [this](const std::string& line) { said.push_back(line); };
    setup.watch_thread = false;
    setup.retry_ns = kSecond;
    return std::make_unique<OutputMusicStream>(std::make_unique<TrackBuffer>(counting_track()), std::move(setup));
  }
  // As long as `frames` frames play, then the device's thread asks for the
  // next `frames`; the left samples it got.
  std::vector<int16_t> pull(uint64_t frames) {
    now += static_cast<int64_t>(frames) * kSecond / kRate;
    std::vector<int16_t> pcm(frames * 2);
    device->render(reinterpret_cast<uint8_t*>(pcm.data()), pcm.size() * sizeof(int16_t));
    std::vector<int16_t> left;
    for (size_t i = 0; i < pcm.size(); i += 2) left.push_back(pcm[i]);
    return left;
  }
  // The position in frames.
  static uint64_t frame_of(const OutputMusicStream& stream) { return stream.position() / kFrameBytes; }

  std::shared_ptr<DeviceState> device = std::make_shared<DeviceState>();
  int64_t now = 1000 * kSecond;
  std::vector<std::string> said;
};

TEST_F(DeviceLoss, DeviceGoneWhilePlayingIsSaidOnceAndTheClockRunsOnAtTheMusicsRate) {
  auto stream = make_stream();
  ASSERT_EQ(stream->output(), OutputKind::sound_device);
  ASSERT_TRUE(stream->play(false));
  EXPECT_FALSE(device->paused);
  for (int i = 0; i < 40; ++i) pull(1024);
  stream->watch();
  EXPECT_TRUE(said.empty());
  const uint64_t heard = frame_of(*stream);
  EXPECT_EQ(heard, 40 * 1024 - kLatency);

  // The device goes, and no other is there; its thread calls no more. The
  // position holds at most one buffer past what was heard until the loss
  // is noticed.
  device->lost = true;
  device->can_open = false;
  now += kSecond / 100;
  stream->watch();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0], "sound device lost: the music goes on silent, in time");
  EXPECT_EQ(stream->output(), OutputKind::clock_thread);
  EXPECT_FALSE(device->open);
  const uint64_t last = frame_of(*stream);
  EXPECT_GE(last, heard);
  EXPECT_LE(last, heard + 1024);

  // From there on the stream's clock: a quarter second of frames every
  // quarter second, and the stream still plays.
  for (int k = 1; k <= 4; ++k) {
    now += kSecond / 4;
    stream->watch();
    EXPECT_EQ(frame_of(*stream), last + static_cast<uint64_t>(k) * kRate / 4) << k;
  }
  EXPECT_TRUE(stream->playing());
  EXPECT_NE(stream->level(), 0u);
  EXPECT_EQ(said.size(), 1u);
}

TEST_F(DeviceLoss, DeviceThatOpensAgainPlaysOnFromTheClockInStep) {
  auto stream = make_stream();
  ASSERT_TRUE(stream->play(false));
  for (int i = 0; i < 10; ++i) pull(1024);
  device->lost = true;
  device->can_open = false;
  stream->watch();
  ASSERT_EQ(stream->output(), OutputKind::clock_thread);
  const int opens = device->opens;

  // Tried again once a second; the first try finds no device and says nothing.
  now += kSecond;
  stream->watch();
  EXPECT_EQ(device->opens, opens + 1);
  EXPECT_EQ(stream->output(), OutputKind::clock_thread);
  EXPECT_EQ(said.size(), 1u);

  device->can_open = true;
  now += kSecond / 2;
  stream->watch();
  EXPECT_EQ(device->opens, opens + 1);  // not yet time
  now += kSecond / 2;
  stream->watch();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[1], "sound device back: the music plays on");
  ASSERT_EQ(stream->output(), OutputKind::sound_device);
  EXPECT_FALSE(device->paused);

  // The device takes the frames from where the clock is, and the position
  // moves on with what it plays.
  const uint64_t at = frame_of(*stream);
  const std::vector<int16_t> left = pull(1024);
  EXPECT_EQ(left.front(), static_cast<int16_t>(at % 30000));
  EXPECT_EQ(left.back(), static_cast<int16_t>((at + 1023) % 30000));
  for (int i = 0; i < 4; ++i) pull(1024);
  EXPECT_EQ(frame_of(*stream), at + 5 * 1024 - kLatency);
}

TEST_F(DeviceLoss, NoDeviceAtStartPlaysSilentOnTheClockWithoutAWord) {
  device->can_open = false;
  auto stream = make_stream();
  EXPECT_EQ(stream->output(), OutputKind::clock_thread);
  now += 3 * kSecond;  // before the play: not played
  stream->watch();
  ASSERT_TRUE(stream->play(false));
  for (int k = 1; k <= 3; ++k) {
    now += kSecond / 2;
    stream->watch();
    EXPECT_EQ(frame_of(*stream), static_cast<uint64_t>(k) * kRate / 2) << k;
  }
  now += kSecond / 4;
  stream->stop();
  EXPECT_EQ(frame_of(*stream), 7u * kRate / 4);
  EXPECT_EQ(device->opens, 1);  // a device missing at the start is not looked for again
  EXPECT_TRUE(said.empty());
}

}  // namespace
}  // namespace quarvel::audio
