#pragma once
// The play state of a stream: whether it plays, whether it loops, and the
// stream frame that a count of frames heard since the current play began
// stands for. Playing, stopping, seeking and looping at the end are decided
// here alone; the owner keeps the count (from a clock, or advanced by hand)
// and starts it again at 0 whenever a new play begins (see play, stop and
// seek).
//
// - Playing from the end of a stream that does not loop plays nothing; a
//   looping one starts over from its first frame.
// - Stopping holds the frame being heard; playing again resumes from it.
// - A stream that does not loop runs out at its end (playing() turns false
//   and the position stays there); a looping one wraps to its start.

#include <cstdint>

namespace quarvel::audio {

class PlayCursor {
 public:
  // The length of a stream whose end is not known yet: it neither ends nor
  // wraps until set_total() gives the real length.
  static constexpr uint64_t kUnknownLength = uint64_t{1} << 62;

  explicit PlayCursor(uint64_t total_frames = 0) : total_(total_frames) {}

  uint64_t total_frames() const { return total_; }
  // Gives the stream's length once it is known. The count keeps its
  // meaning: frames heard since play began, wrapped (or stopped) at the end.
  void set_total(uint64_t frames) { total_ = frames; }
  bool looping() const { return loop_; }
  // True from play to stop, even once a stream that does not loop ran out.
  bool started() const { return playing_; }

  // Plays from the frame being heard after `heard` frames. Returns true when
  // a new play begins there (the owner's count starts again at 0); a stream
  // that plays already runs on and only its loop flag changes.
  bool play(uint64_t heard, bool loop);
  // Stops at the frame being heard; the owner's count starts again at 0.
  void stop(uint64_t heard);
  // Moves to `frame` (clamped to the stream), keeping the play state; the
  // owner's count starts again at 0.
  void seek(uint64_t heard, uint64_t frame);

  // True while playing and, for a stream that does not loop, until the
  // listener reaches its end.
  bool playing(uint64_t heard) const;
  // The stream frame being heard after `heard` frames.
  uint64_t frame(uint64_t heard) const;

  // The frames [from, from + count) since play began, as runs of the stream:
  // copy(first_frame, n) for each run in order (several when a short loop
  // wraps), silence(n) for what lies past the end of a stream that does not
  // loop (or of an empty one).
  template <class Copy, class Silence>
  void runs(uint64_t from, uint64_t count, Copy&& copy, Silence&& silence) const;

 private:
  // Stream frame, not wrapped, after `heard` frames of this play.
  __int128 unwrapped(uint64_t heard) const { return static_cast<__int128>(start_) + heard; }

  uint64_t total_ = 0;
  bool playing_ = false;
  bool loop_ = false;
  int64_t start_ = 0;  // stream frame where this play began (may lie laps back)
};

template <class Copy, class Silence>
void PlayCursor::runs(uint64_t from, uint64_t count, Copy&& copy, Silence&& silence) const {
  uint64_t left = count;
  while (left > 0) {
    const __int128 cursor = unwrapped(from + (count - left));
    if (total_ == 0) {
      silence(left);
      return;
    }
    uint64_t f;
    if (loop_) {
      const __int128 t = total_;
      f = static_cast<uint64_t>(((cursor % t) + t) % t);
    } else if (cursor >= 0 && cursor < static_cast<__int128>(total_)) {
      f = static_cast<uint64_t>(cursor);
    } else {
      silence(left);
      return;
    }
    const uint64_t n = left < total_ - f ? left : total_ - f;
    copy(f, n);
    left -= n;
  }
}

}  // namespace quarvel::audio
