#include "platform/audio/playback_clock.h"

namespace quarvel::audio {

void PlaybackClock::begin(uint64_t frame) {
  start_ = static_cast<int64_t>(frame);
  fed_ = 0;
  anchored_ = false;
  anchor_ns_ = 0;
  anchor_fed_ = 0;
  anchor_chunk_ = 0;
  last_heard_ = 0;
}

void PlaybackClock::play(int64_t now_ns, bool loop) {
  if (playing(now_ns)) {
    if (loop != loop_) {
      // Re-base so that the stream frame being heard lies within the first
      // lap: the mapping then means the same under either flag.
      if (loop_ && total_ > 0) {
        int64_t here = start_ + static_cast<int64_t>(heard(now_ns));
        int64_t laps = here / static_cast<int64_t>(total_);
        start_ -= laps * static_cast<int64_t>(total_);
      }
      loop_ = loop;
    }
    return;
  }
  begin(frame(now_ns));
  playing_ = true;
  loop_ = loop;
}

void PlaybackClock::stop(int64_t now_ns) {
  uint64_t here = frame(now_ns);
  begin(here);
  playing_ = false;
}

void PlaybackClock::seek(int64_t now_ns, uint64_t frame) {
  bool was_playing = playing(now_ns);
  begin(std::min(frame, total_));
  playing_ = was_playing;
}

bool PlaybackClock::playing(int64_t now_ns) const {
  if (!playing_) return false;
  if (loop_) return total_ > 0;
  return start_ + static_cast<int64_t>(heard(now_ns)) < static_cast<int64_t>(total_);
}

uint64_t PlaybackClock::heard(int64_t now_ns) const {
  if (!playing_ || !anchored_ || rate_ <= 0) return last_heard_;
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

uint64_t PlaybackClock::stream_frame(uint64_t since_start) const {
  int64_t u = start_ + static_cast<int64_t>(since_start);
  if (total_ == 0) return 0;
  int64_t t = static_cast<int64_t>(total_);
  if (loop_ && playing_) return static_cast<uint64_t>(((u % t) + t) % t);
  if (u < 0) return 0;
  return std::min(static_cast<uint64_t>(u), total_);
}

uint64_t PlaybackClock::frame(int64_t now_ns) const { return stream_frame(heard(now_ns)); }

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
