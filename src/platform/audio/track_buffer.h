#pragma once
// A stream's PCM as it becomes available. Opening an MP3 file reads it and
// decodes its first sound only (enough to refuse a file that is not MP3
// audio and to know the format); a thread of the buffer's own decodes the
// rest in the background, a little ahead of what playback asks for, into
// blocks that never move once written. Readers only ever see decoded frames.
//
// The track's length is exact once decoding completes (complete()); before
// that it is unknown, and a reader that needs frames not decoded yet either
// waits for them (wait_for: the answer is then the same whatever the
// decoder's progress) or, on an output that cannot wait, takes silence for
// them (copy).
//
// Thread safety: one mutex guards the blocks and the counters, with one
// condition variable for each direction (readers waiting for frames, the
// decoder waiting for demand). Destruction stops the decoder between two
// MPEG frames and joins it.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/pcm_track.h"

namespace quarvel::audio {

class Mp3Decoder;

// How far decoding runs ahead of the furthest frame asked for, by default.
constexpr double kDefaultDecodeLeadSeconds = 20.0;

class TrackBuffer {
 public:
  // A track decoded already: complete at once, no thread.
  explicit TrackBuffer(PcmTrack track);
  ~TrackBuffer();
  TrackBuffer(const TrackBuffer&) = delete;
  TrackBuffer& operator=(const TrackBuffer&) = delete;

  // Reads an MP3 file, decodes its first sound and starts the background
  // decoder. Returns null with the status and the reason (without the file
  // name) when the file cannot be read or is not MP3 audio.
  static std::unique_ptr<TrackBuffer> open_mp3_file(const std::string& path, DecodeStatus& status,
                                                    std::string& error,
                                                    double lead_seconds = kDefaultDecodeLeadSeconds);
  // The same for a file's bytes already in memory (the buffer keeps them
  // until decoding completes).
  static std::unique_ptr<TrackBuffer> open_mp3(std::vector<uint8_t> bytes, DecodeStatus& status,
                                               std::string& error,
                                               double lead_seconds = kDefaultDecodeLeadSeconds);

  int rate() const { return rate_; }
  int channels() const { return channels_; }
  uint32_t frame_bytes() const { return 2u * static_cast<uint32_t>(channels_); }

  // Frames decoded so far.
  uint64_t decoded() const;
  // True once the whole track is decoded; decoded() is then its length.
  bool complete() const;
  // True once complete, with the track's length in `frames`; otherwise the
  // frames decoded so far.
  bool known_length(uint64_t& frames) const;
  // True when complete with no frames (only a buffer made from an empty track).
  bool empty() const;

  // Asks the decoder to reach `frame` (plus its lead) without waiting.
  void want(uint64_t frame) const;
  // Waits until the frames before `frame` are decoded, or the track is
  // complete; returns decoded().
  uint64_t wait_for(uint64_t frame) const;

  // Copies the decoded frames of [first, first + count) to `out`; returns
  // how many it copied (fewer when the rest is not decoded, or lies past the
  // end). Does not wait.
  uint64_t copy(uint64_t first, uint64_t count, uint8_t* out) const;

  // Peak level of the frames [first, first + count) that are decoded (see
  // peak_level() of a PcmTrack). Does not wait.
  uint32_t peak_level(uint64_t first, uint64_t count) const;
  // Peak level in the 20 ms window centred on `frame`, waiting for the
  // window to be decoded: the same answer as level_near() on the whole track.
  uint32_t level_near(uint64_t frame) const;

 private:
  TrackBuffer(int rate, int channels, uint64_t lead_frames);
  void append(const int16_t* samples, uint64_t frames);  // under the mutex
  void decode_loop();
  template <class Run>
  void for_each_run(uint64_t first, uint64_t count, Run&& run) const;  // under the mutex

  int rate_ = 0;
  int channels_ = 0;
  uint64_t lead_ = 0;

  mutable std::mutex mutex_;
  mutable std::condition_variable frames_ready_;   // readers wait on it
  mutable std::condition_variable demand_raised_;  // the decoder waits on it
  std::vector<std::unique_ptr<int16_t[]>> blocks_;
  uint64_t decoded_ = 0;
  mutable uint64_t target_ = 0;  // decode up to here
  bool complete_ = false;
  bool quit_ = false;

  // Used by the decoder thread only, released when decoding completes.
  std::vector<uint8_t> mp3_;
  std::unique_ptr<Mp3Decoder> decoder_;
  std::thread thread_;
};

}  // namespace quarvel::audio
