#include "platform/audio/virtual_stream.h"

#include <algorithm>
#include <cmath>

namespace quarvel::audio {

VirtualMusicStream::VirtualMusicStream(PcmTrack track)
    : track_(std::make_unique<TrackBuffer>(std::move(track))) {}

VirtualMusicStream::VirtualMusicStream(std::unique_ptr<TrackBuffer> track) : track_(std::move(track)) {}

bool VirtualMusicStream::length_within(uint64_t frame, uint64_t& total) const {
  track_->wait_for(frame);
  return track_->known_length(total);
}

void VirtualMusicStream::advance_frames(uint64_t frames) {
  if (!playing_) return;
  // Whether the move reaches the end is only known once the frame after it
  // is decoded, or the track is complete.
  uint64_t total = 0;
  const uint64_t to = frame_ + std::min<uint64_t>(frames, uint64_t{1} << 62);
  if (!length_within(to + 1, total)) {
    frame_ = to;
    return;
  }
  if (total == 0) return;
  if (loop_) {
    frame_ = (frame_ + frames % total) % total;
  } else {
    frame_ = frames >= total - frame_ ? total : frame_ + frames;
    if (frame_ == total) playing_ = false;
  }
}

void VirtualMusicStream::advance_seconds(double seconds) {
  if (!(seconds > 0.0) || !std::isfinite(seconds) || track_->rate() <= 0) return;
  carry_ += seconds * track_->rate();
  const double whole = std::floor(carry_);
  carry_ -= whole;
  advance_frames(static_cast<uint64_t>(std::min(whole, 1e15)));
}

bool VirtualMusicStream::play(bool loop) {
  if (track_->empty()) return false;
  uint64_t total = 0;
  const bool at_end = length_within(frame_ + 1, total) && frame_ >= total;
  if (!playing_ && !loop && at_end) {
    loop_ = loop;
    return true;  // at the end already: nothing more to play
  }
  if (!playing_ && loop && at_end) frame_ = 0;
  playing_ = true;
  loop_ = loop;
  return true;
}

void VirtualMusicStream::stop() { playing_ = false; }

uint32_t VirtualMusicStream::position() const {
  return static_cast<uint32_t>(frame_ * track_->frame_bytes());
}

uint32_t VirtualMusicStream::level() const {
  return playing_ ? track_->level_near(frame_) : 0;
}

void VirtualMusicStream::seek(uint64_t byte_position) {
  const uint32_t fb = track_->frame_bytes();
  uint64_t frame = fb ? byte_position / fb : 0;
  uint64_t total = 0;
  if (length_within(frame + 1, total)) frame = std::min(frame, total);
  frame_ = frame;
  carry_ = 0.0;
}

}  // namespace quarvel::audio
