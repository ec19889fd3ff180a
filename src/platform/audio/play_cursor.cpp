#include "platform/audio/play_cursor.h"

#include <algorithm>

namespace quarvel::audio {

bool PlayCursor::play(uint64_t heard, bool loop) {
  if (playing(heard)) {
    if (loop != loop_) {
      // Re-base so that the stream frame being heard lies within the first
      // lap: the count then means the same under either flag.
      if (loop_ && total_ > 0) {
        const __int128 laps = unwrapped(heard) / total_;
        start_ -= static_cast<int64_t>(laps * total_);
      }
      loop_ = loop;
    }
    return false;
  }
  start_ = static_cast<int64_t>(frame(heard));
  playing_ = true;
  loop_ = loop;
  return true;
}

void PlayCursor::stop(uint64_t heard) {
  start_ = static_cast<int64_t>(frame(heard));
  playing_ = false;
}

void PlayCursor::seek(uint64_t heard, uint64_t frame) {
  const bool was_playing = playing(heard);
  start_ = static_cast<int64_t>(std::min(frame, total_));
  playing_ = was_playing;
}

bool PlayCursor::playing(uint64_t heard) const {
  if (!playing_) return false;
  if (loop_) return total_ > 0;
  return unwrapped(heard) < static_cast<__int128>(total_);
}

uint64_t PlayCursor::frame(uint64_t heard) const {
  if (total_ == 0) return 0;
  const __int128 u = unwrapped(heard);
  if (loop_ && playing_) {
    const __int128 t = total_;
    return static_cast<uint64_t>(((u % t) + t) % t);
  }
  if (u < 0) return 0;
  return u < static_cast<__int128>(total_) ? static_cast<uint64_t>(u) : total_;
}

}  // namespace quarvel::audio
