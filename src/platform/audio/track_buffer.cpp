#include "platform/audio/track_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/audio/mp3_decoder.h"

namespace quarvel::audio {
namespace {

// Frames per block: 128 KiB of 16-bit stereo. Blocks are allocated as the
// decoder reaches them, so memory follows what is decoded.
constexpr uint64_t kBlockFrames = 1u << 15;

uint64_t lead_frames(int rate, double seconds) {
  if (!(seconds > 0.0) || !std::isfinite(seconds)) return 0;
  return static_cast<uint64_t>(std::min(seconds, 1e6) * rate);
}

uint64_t saturating_add(uint64_t a, uint64_t b) {
  return a > std::numeric_limits<uint64_t>::max() - b ? std::numeric_limits<uint64_t>::max() : a + b;
}

}  // namespace

TrackBuffer::TrackBuffer(int rate, int channels, uint64_t lead_frames)
    : rate_(rate), channels_(channels), lead_(lead_frames), target_(lead_frames) {}

TrackBuffer::TrackBuffer(PcmTrack track) : rate_(track.rate), channels_(track.channels) {
  if (channels_ > 0) append(track.samples.data(), track.frames());
  complete_ = true;
}

TrackBuffer::~TrackBuffer() {
  if (thread_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    demand_raised_.notify_all();
    thread_.join();
  }
}

std::unique_ptr<TrackBuffer> TrackBuffer::open_mp3_file(const std::string& path, DecodeStatus& status,
                                                        std::string& error, double lead_seconds) {
  std::vector<uint8_t> bytes;
  status = read_file_bytes(path, bytes, error);
  if (status != DecodeStatus::ok) return nullptr;
  return open_mp3(std::move(bytes), status, error, lead_seconds);
}

std::unique_ptr<TrackBuffer> TrackBuffer::open_mp3(std::vector<uint8_t> bytes, DecodeStatus& status,
                                                   std::string& error, double lead_seconds) {
  auto decoder = std::make_unique<Mp3Decoder>(bytes.data(), bytes.size());
  status = decoder->start(error);
  if (status != DecodeStatus::ok) return nullptr;
  std::unique_ptr<TrackBuffer> buffer(
      new TrackBuffer(decoder->rate(), decoder->channels(), lead_frames(decoder->rate(), lead_seconds)));
  // The decoder reads the bytes in place; moving the vector keeps its storage.
  buffer->mp3_ = std::move(bytes);
  buffer->decoder_ = std::move(decoder);
  buffer->thread_ = std::thread([b = buffer.get()] { b->decode_loop(); });
  return buffer;
}

void TrackBuffer::decode_loop() {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      // Sleep until playback has eaten half the lead (or a reader waits).
      demand_raised_.wait(lock, [this] { return quit_ || decoded_ + lead_ / 2 < target_; });
      if (quit_) return;
    }
    bool more = true;
    for (;;) {
      const int16_t* samples = nullptr;
      size_t count = 0;
      more = decoder_->next(samples, count);
      std::lock_guard lock(mutex_);
      if (more) append(samples, count / static_cast<size_t>(channels_));
      else complete_ = true;
      frames_ready_.notify_all();
      if (!more || quit_ || decoded_ >= target_) break;
    }
    if (!more) {
      decoder_.reset();
      std::vector<uint8_t>().swap(mp3_);
      return;
    }
  }
}

void TrackBuffer::append(const int16_t* samples, uint64_t frames) {
  const size_t ch = static_cast<size_t>(channels_);
  while (frames > 0) {
    const uint64_t offset = decoded_ % kBlockFrames;
    if (decoded_ / kBlockFrames == blocks_.size())
      blocks_.push_back(std::unique_ptr<int16_t[]>(new int16_t[kBlockFrames * ch]));
    const uint64_t n = std::min(frames, kBlockFrames - offset);
    std::memcpy(blocks_.back().get() + offset * ch, samples, n * ch * sizeof(int16_t));
    samples += n * ch;
    frames -= n;
    decoded_ += n;
  }
}

template <class Run>
void TrackBuffer::for_each_run(uint64_t first, uint64_t count, Run&& run) const {
  const uint64_t end = first + std::min(count, decoded_ > first ? decoded_ - first : 0);
  const size_t ch = static_cast<size_t>(channels_);
  for (uint64_t f = first; f < end;) {
    const uint64_t offset = f % kBlockFrames;
    const uint64_t n = std::min(end - f, kBlockFrames - offset);
    run(blocks_[f / kBlockFrames].get() + offset * ch, n);
    f += n;
  }
}

uint64_t TrackBuffer::decoded() const {
  std::lock_guard lock(mutex_);
  return decoded_;
}

bool TrackBuffer::complete() const {
  std::lock_guard lock(mutex_);
  return complete_;
}

bool TrackBuffer::known_length(uint64_t& frames) const {
  std::lock_guard lock(mutex_);
  frames = decoded_;
  return complete_;
}

bool TrackBuffer::empty() const {
  std::lock_guard lock(mutex_);
  return complete_ && decoded_ == 0;
}

void TrackBuffer::want(uint64_t frame) const {
  std::lock_guard lock(mutex_);
  const uint64_t target = saturating_add(frame, lead_);
  if (target <= target_) return;
  target_ = target;
  if (!complete_ && decoded_ + lead_ / 2 < target_) demand_raised_.notify_one();
}

uint64_t TrackBuffer::wait_for(uint64_t frame) const {
  std::unique_lock lock(mutex_);
  if (decoded_ >= frame || complete_) return decoded_;
  target_ = std::max(target_, saturating_add(frame, lead_));
  demand_raised_.notify_one();
  frames_ready_.wait(lock, [&] { return decoded_ >= frame || complete_; });
  return decoded_;
}

uint64_t TrackBuffer::copy(uint64_t first, uint64_t count, uint8_t* out) const {
  std::lock_guard lock(mutex_);
  uint64_t copied = 0;
  for_each_run(first, count, [&](const int16_t* s, uint64_t n) {
    std::memcpy(out + copied * frame_bytes(), s, n * frame_bytes());
    copied += n;
  });
  return copied;
}

uint32_t TrackBuffer::peak_level(uint64_t first, uint64_t count) const {
  std::lock_guard lock(mutex_);
  PeakMeter meter;
  for_each_run(first, count, [&](const int16_t* s, uint64_t n) { meter.add(s, n, channels_); });
  return meter.level();
}

uint32_t TrackBuffer::level_near(uint64_t frame) const {
  const uint64_t window = level_window_frames(rate_);
  const uint64_t first = frame > window / 2 ? frame - window / 2 : 0;
  wait_for(first + window);
  return peak_level(first, window);
}

}  // namespace quarvel::audio
