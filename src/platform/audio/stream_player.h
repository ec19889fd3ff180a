#pragma once
// What an audio output runs for a stream: a feed function that copies the
// next PCM into the output's buffer (or only counts it, for an output that
// is a clock), under a lock shared with the position, level and load
// queries of the main thread.
//
// The track may still be decoding. Until its length is known the stream
// neither ends nor wraps; frames the decoder has not reached yet go out as
// silence (the decoder runs far ahead of playback, so in practice it never
// happens) and the decoder is asked for what follows. The level waits for
// its window to be decoded, outside the lock the output takes.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "platform/audio/playback_clock.h"
#include "platform/audio/track_buffer.h"

namespace quarvel::audio {

using NowFunction = std::function<int64_t()>;

// Nanoseconds of the steady clock.
int64_t steady_now_ns();

class StreamPlayer {
 public:
  // `track` must outlive the player.
  StreamPlayer(const TrackBuffer& track, NowFunction now = steady_now_ns);

  void set_latency(uint64_t frames);
  // A new output takes over (a device after the clock, or the clock after a
  // device): the count of frames it took starts again at the frame heard
  // now, with its own latency, keeping the play state.
  void restart_output(uint64_t latency_frames);

  // The output asks for `bytes` of sound: copies the PCM that follows, or
  // silence when stopped or past the end of a stream that does not loop.
  // A trailing part frame is silence. Only copies.
  void render(uint8_t* out, size_t bytes);
  // The same for an output that plays nothing: counts `frames` as taken.
  void advance(uint64_t frames);

  bool play(bool loop);
  void stop();
  bool playing() const;
  uint64_t frame() const;
  uint32_t position() const;
  uint32_t level() const;
  float load() const;
  void seek(uint64_t byte_position);
  // What render() gives, 0 to 100 percent of the track's samples.
  void set_volume(int percent) { volume_.store(percent < 0 ? 0 : percent > 100 ? 100 : percent); }

 private:
  // Passes the track's length to the clock once decoding has found it.
  void sync_length() const;

  const TrackBuffer& track_;
  NowFunction now_;
  mutable std::mutex mutex_;
  mutable PlaybackClock clock_;
  mutable bool length_known_ = false;
  mutable LoadMeter meter_;
  std::atomic<int> volume_{100};
};

}  // namespace quarvel::audio
