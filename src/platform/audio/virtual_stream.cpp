#include "platform/audio/virtual_stream.h"

#include <algorithm>
#include <cmath>

namespace quarvel::audio {

VirtualMusicStream::VirtualMusicStream(PcmTrack track)
    : track_(std::make_unique<TrackBuffer>(std::move(track))) {}

VirtualMusicStream::VirtualMusicStream(std::unique_ptr<TrackBuffer> track) : track_(std::move(track)) {}

void VirtualMusicStream::learn_length(uint64_t frame) {
  track_->wait_for(frame);
  uint64_t total = 0;
  if (track_->known_length(total)) cursor_.set_total(total);
}

void VirtualMusicStream::advance_frames(uint64_t frames) {
  if (!playing()) return;
  // Whether the move reaches the end is only known once the frame after it
  // is decoded, or the track is complete.
  learn_length(frame() + std::min<uint64_t>(frames, PlayCursor::kUnknownLength) + 1);
  cursor_.seek(frames, cursor_.frame(frames));
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
  // Whether the stream stands at its end already.
  learn_length(frame() + 1);
  cursor_.play(0, loop);
  return true;
}

void VirtualMusicStream::stop() { cursor_.stop(0); }

uint32_t VirtualMusicStream::position() const {
  return static_cast<uint32_t>(frame() * track_->frame_bytes());
}

uint32_t VirtualMusicStream::level() const {
  return playing() ? track_->level_near(frame()) : 0;
}

void VirtualMusicStream::seek(uint64_t byte_position) {
  const uint32_t fb = track_->frame_bytes();
  const uint64_t frame = fb ? byte_position / fb : 0;
  learn_length(frame + 1);
  cursor_.seek(0, frame);
  carry_ = 0.0;
}

}  // namespace quarvel::audio
