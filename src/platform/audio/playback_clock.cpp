#include "platform/audio/playback_clock.h"

#include <algorithm>

namespace quarvel::audio {

void PlaybackClock::restart() {
  fed_ = 0;
  anchored_ = false;
  anchor_ns_ = 0;
  anchor_fed_ = 0;
  anchor_chunk_ = 0;
  last_heard_ = 0;
}

void PlaybackClock::play(int64_t now_ns, bool loop) {
  if (cursor_.play(heard(now_ns), loop)) restart();
}

void PlaybackClock::stop(int64_t now_ns) {
  cursor_.stop(heard(now_ns));
  restart();
}

void PlaybackClock::seek(int64_t now_ns, uint64_t frame) {
  cursor_.seek(heard(now_ns), frame);
  restart();
}

uint64_t PlaybackClock::heard(int64_t now_ns) const {
  if (!cursor_.started() || !anchored_ || rate_ <= 0) return last_heard_;
  int64_t elapsed = std::max<int64_t>(0, now_ns - anchor_ns_);
  // Frames played since the anchor, in whole frames.
  int64_t since = static_cast<int64_t>((static_cast<__int128>(elapsed) * rate_) / 1'000'000'000);
  int64_t base = static_cast<int64_t>(anchor_fed_) - static_cast<int64_t>(latency_);
  int64_t upper = base + static_cast<int64_t>(anchor_chunk_);
  int64_t h = std::min(base + since, upper);
  if (h < 0) h = 0;
  uint64_t result = std::max(static_cast<uint64_t>(h), last_heard_);
  last_heard_ = result;
  return result;
}

void LoadMeter::roll(int64_t now_ns) {
  if (!started_) {
    started_ = true;
    window_start_ = now_ns;
    return;
  }
  int64_t elapsed = now_ns - window_start_;
  if (elapsed >= window_) {
    last_ = static_cast<float>(100.0 * static_cast<double>(busy_) / static_cast<double>(elapsed));
    has_last_ = true;
    window_start_ = now_ns;
    busy_ = 0;
  }
}

void LoadMeter::add(int64_t start_ns, int64_t end_ns) {
  if (!started_) {
    started_ = true;
    window_start_ = start_ns;
  }
  roll(end_ns);
  if (end_ns > start_ns) busy_ += end_ns - start_ns;
}

float LoadMeter::percent(int64_t now_ns) {
  roll(now_ns);
  if (has_last_) return last_;
  int64_t elapsed = now_ns - window_start_;
  return elapsed > 0 ? static_cast<float>(100.0 * static_cast<double>(busy_) / static_cast<double>(elapsed)) : 0.0f;
}

}  // namespace quarvel::audio
