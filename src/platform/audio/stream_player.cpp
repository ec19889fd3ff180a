#include "platform/audio/stream_player.h"

#include <chrono>
#include <cstring>

namespace quarvel::audio {

int64_t steady_now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

StreamPlayer::StreamPlayer(const TrackBuffer& track, NowFunction now)
    : track_(track), now_(now ? std::move(now) : NowFunction(steady_now_ns)),
      clock_(track.rate(), PlaybackClock::kUnknownLength, 0) {
  sync_length();
}

void StreamPlayer::sync_length() const {
  if (length_known_) return;
  uint64_t frames = 0;
  if (!track_.known_length(frames)) return;
  clock_.set_total(frames);
  length_known_ = true;
}

void StreamPlayer::set_latency(uint64_t frames) {
  std::lock_guard lock(mutex_);
  clock_.set_latency(frames);
}

void StreamPlayer::restart_output(uint64_t latency_frames) {
  std::lock_guard lock(mutex_);
  sync_length();
  const int64_t now = now_();
  clock_.seek(now, clock_.frame(now));
  clock_.set_latency(latency_frames);
}

void StreamPlayer::render(uint8_t* out, size_t bytes) {
  const int64_t start = now_();
  const uint32_t frame_bytes = track_.frame_bytes();
  std::lock_guard lock(mutex_);
  sync_length();
  if (frame_bytes == 0 || !clock_.playing(start)) {
    std::memset(out, 0, bytes);
  } else {
    const uint64_t frames = bytes / frame_bytes;
    uint8_t* dst = out;
    clock_.feed(
        start, frames,
        [&](uint64_t first, uint64_t n) {
          track_.want(first + n);
          const uint64_t copied = track_.copy(first, n, dst);
          std::memset(dst + copied * frame_bytes, 0, (n - copied) * frame_bytes);
          dst += n * frame_bytes;
        },
        [&](uint64_t n) {
          std::memset(dst, 0, n * frame_bytes);
          dst += n * frame_bytes;
        });
    std::memset(dst, 0, bytes - static_cast<size_t>(dst - out));
    // The player's volume, on the 16-bit samples copied.
    if (const int volume = volume_.load(); volume < 100) {
      auto* sample = reinterpret_cast<int16_t*>(out);
      for (size_t i = 0; i < bytes / 2; ++i) sample[i] = static_cast<int16_t>(sample[i] * volume / 100);
    }
  }
  meter_.add(start, now_());
}

void StreamPlayer::advance(uint64_t frames) {
  const int64_t start = now_();
  std::lock_guard lock(mutex_);
  sync_length();
  clock_.feed(start, frames, [&](uint64_t first, uint64_t n) { track_.want(first + n); }, [](uint64_t) {});
  meter_.add(start, now_());
}

bool StreamPlayer::play(bool loop) {
  std::lock_guard lock(mutex_);
  if (track_.empty()) return false;
  sync_length();
  clock_.play(now_(), loop);
  return true;
}

void StreamPlayer::stop() {
  std::lock_guard lock(mutex_);
  sync_length();
  clock_.stop(now_());
}

bool StreamPlayer::playing() const {
  std::lock_guard lock(mutex_);
  sync_length();
  return clock_.playing(now_());
}

uint64_t StreamPlayer::frame() const {
  std::lock_guard lock(mutex_);
  sync_length();
  return clock_.frame(now_());
}

uint32_t StreamPlayer::position() const {
  return static_cast<uint32_t>(frame() * track_.frame_bytes());
}

uint32_t StreamPlayer::level() const {
  uint64_t frame = 0;
  {
    std::lock_guard lock(mutex_);
    sync_length();
    const int64_t now = now_();
    if (!clock_.playing(now)) return 0;
    frame = clock_.frame(now);
  }
  return track_.level_near(frame);
}

float StreamPlayer::load() const {
  std::lock_guard lock(mutex_);
  return meter_.percent(now_());
}

void StreamPlayer::seek(uint64_t byte_position) {
  std::lock_guard lock(mutex_);
  sync_length();
  const uint32_t fb = track_.frame_bytes();
  clock_.seek(now_(), fb ? byte_position / fb : 0);
}

}  // namespace quarvel::audio
