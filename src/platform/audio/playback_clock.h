#pragma once
// The position arithmetic of a stream that an output consumes in chunks:
// where the listener is, given when each chunk was taken and how much sound
// the output holds ahead of the speaker. Time is passed in by the caller
// (nanoseconds of any steady clock), so the arithmetic runs without sound.
//
// - Between two chunks the position is interpolated from the elapsed time,
//   but never past what the next chunk will confirm (a late output stalls
//   the position instead of letting it run ahead).
// - The output's buffering (latency) is taken off, so the position is the
//   frame being heard, not the frame being written.
// - The position never goes backwards, except when a looping stream wraps
//   to its start. It is always a whole number of sample frames.
//
// Playing, stopping and looping are the PlayCursor's; this class turns time
// into the count of frames heard that the cursor maps to a stream frame.

#include <cstdint>

#include "platform/audio/play_cursor.h"

namespace quarvel::audio {

class PlaybackClock {
 public:
  // The length of a stream whose end is not known yet: it neither ends nor
  // wraps until set_total() gives the real length.
  static constexpr uint64_t kUnknownLength = PlayCursor::kUnknownLength;

  PlaybackClock() = default;
  PlaybackClock(int rate, uint64_t total_frames, uint64_t latency_frames)
      : rate_(rate > 0 ? rate : 0), latency_(latency_frames), cursor_(total_frames) {}

  int rate() const { return rate_; }
  uint64_t total_frames() const { return cursor_.total_frames(); }
  uint64_t latency_frames() const { return latency_; }
  void set_latency(uint64_t frames) { latency_ = frames; }
  // Gives the stream's length once it is known. The position keeps its
  // meaning: frames heard since play began, wrapped (or stopped) at the end.
  void set_total(uint64_t frames) { cursor_.set_total(frames); }
  bool looping() const { return cursor_.looping(); }

  // Plays from the current position. If it plays already, only the loop flag
  // changes and the position runs on undisturbed.
  void play(int64_t now_ns, bool loop);

  // Stops where the listener is at `now`; the position stays there.
  void stop(int64_t now_ns);

  // True while playing and, for a stream that does not loop, until the
  // listener reaches its end.
  bool playing(int64_t now_ns) const { return cursor_.playing(heard(now_ns)); }

  // The output took `count` frames at `now`: calls copy(first_frame, n) for
  // each run of stream frames in order (several when a short loop wraps),
  // and silence(n) for what lies past the end of a stream that does not loop.
  template <class Copy, class Silence>
  void feed(int64_t now_ns, uint64_t count, Copy&& copy, Silence&& silence);

  // The stream frame being heard at `now`.
  uint64_t frame(int64_t now_ns) const { return cursor_.frame(heard(now_ns)); }

  // Moves to `frame` (clamped to the stream), keeping the play state.
  void seek(int64_t now_ns, uint64_t frame);

 private:
  // Frames heard since this play began.
  uint64_t heard(int64_t now_ns) const;
  // Starts the count of frames heard anew, for a new play.
  void restart();

  int rate_ = 0;
  uint64_t latency_ = 0;
  PlayCursor cursor_;
  uint64_t fed_ = 0;           // frames the output took since this play began
  bool anchored_ = false;      // a chunk was taken since this play began
  int64_t anchor_ns_ = 0;      // when the last chunk was taken
  uint64_t anchor_fed_ = 0;    // fed_ just after it
  uint64_t anchor_chunk_ = 0;  // its size
  mutable uint64_t last_heard_ = 0;
};

template <class Copy, class Silence>
void PlaybackClock::feed(int64_t now_ns, uint64_t count, Copy&& copy, Silence&& silence) {
  if (!cursor_.started() || count == 0) return;
  cursor_.runs(fed_, count, copy, silence);
  fed_ += count;
  anchored_ = true;
  anchor_ns_ = now_ns;
  anchor_fed_ = fed_;
  anchor_chunk_ = count;
}

// The share of one processor that some recurring work takes, in percent,
// measured over windows of a fixed length (one second by default). Until
// the first window ends it reports the share so far.
class LoadMeter {
 public:
  explicit LoadMeter(int64_t window_ns = 1'000'000'000) : window_(window_ns > 0 ? window_ns : 1) {}
  void add(int64_t start_ns, int64_t end_ns);
  float percent(int64_t now_ns);

 private:
  void roll(int64_t now_ns);
  int64_t window_;
  bool started_ = false;
  int64_t window_start_ = 0;
  int64_t busy_ = 0;
  bool has_last_ = false;
  float last_ = 0.0f;
};

}  // namespace quarvel::audio
