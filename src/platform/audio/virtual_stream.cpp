#include "platform/audio/virtual_stream.h"

#include <algorithm>
#include <cmath>

namespace quarvel::audio {

VirtualMusicStream::VirtualMusicStream(PcmTrack track) : track_(std::move(track)) {}

void VirtualMusicStream::advance_frames(uint64_t frames) {
  const uint64_t total = track_.frames();
  if (!playing_ || total == 0) return;
  if (loop_) {
    frame_ = (frame_ + frames % total) % total;
  } else {
    frame_ = frames >= total - frame_ ? total : frame_ + frames;
    if (frame_ == total) playing_ = false;
  }
}

void VirtualMusicStream::advance_seconds(double seconds) {
  if (!(seconds > 0.0) || !std::isfinite(seconds) || track_.rate <= 0) return;
  carry_ += seconds * track_.rate;
  const double whole = std::floor(carry_);
  carry_ -= whole;
  advance_frames(static_cast<uint64_t>(std::min(whole, 1e15)));
}

bool VirtualMusicStream::play(bool loop) {
  if (track_.empty()) return false;
  if (!playing_ && !loop && frame_ >= track_.frames()) {
    loop_ = loop;
    return true;  // at the end already: nothing more to play
  }
  if (!playing_ && loop && frame_ >= track_.frames()) frame_ = 0;
  playing_ = true;
  loop_ = loop;
  return true;
}

void VirtualMusicStream::stop() { playing_ = false; }

uint32_t VirtualMusicStream::position() const {
  return static_cast<uint32_t>(frame_ * track_.frame_bytes());
}

uint32_t VirtualMusicStream::level() const {
  return playing_ ? level_near(track_, frame_) : 0;
}

void VirtualMusicStream::seek(uint64_t byte_position) {
  const uint32_t fb = track_.frame_bytes();
  frame_ = fb ? std::min<uint64_t>(byte_position / fb, track_.frames()) : 0;
  carry_ = 0.0;
}

}  // namespace quarvel::audio
