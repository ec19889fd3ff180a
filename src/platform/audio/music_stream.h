#pragma once
// One music track as the show plays it: decoded PCM (decoding, possibly,
// still under way in the background) with a play state, a position counted
// in bytes of that PCM, a level and a processor load.

#include <cstdint>

#include "platform/audio/track_buffer.h"

namespace quarvel::audio {

class MusicStream {
 public:
  virtual ~MusicStream() = default;

  // Plays from the current position, looping at the end when `loop` is set.
  // A stream that already plays runs on; only its loop flag changes.
  virtual bool play(bool loop) = 0;
  // Stops; the position stays where the listener was.
  virtual void stop() = 0;
  virtual bool playing() const = 0;

  // Bytes of decoded PCM played so far within the stream, as heard, always
  // a whole number of sample frames; 0 until the stream first plays.
  virtual uint32_t position() const = 0;
  // Peak level near the position while playing: left channel in the low 16
  // bits, right in the high 16 bits, each 0..128. 0 while not playing.
  virtual uint32_t level() const = 0;
  // The share of one processor that this stream's audio work takes, percent.
  virtual float load() const = 0;

  virtual const TrackBuffer& track() const = 0;

  // Moves to a byte position (rounded down to a whole frame, clamped to the
  // stream), keeping the play state.
  virtual void seek(uint64_t byte_position) = 0;

  // What is heard, 0 to 100 percent of the track (streams nobody hears
  // ignore it).
  virtual void set_volume(int /*percent*/) {}
};

}  // namespace quarvel::audio
