#pragma once
// MP3 decoding a piece at a time: the file's bytes in memory, checked and
// opened up to its first sound, then handed out one decoded MPEG frame after
// another as interleaved signed 16-bit PCM at the file's own rate and
// channel count. Gapless: encoder delay and padding are removed when the
// file says how much there is.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/pcm_track.h"

namespace quarvel::audio {

class Mp3Decoder {
 public:
  // `data` is read in place and must outlive the decoder.
  Mp3Decoder(const uint8_t* data, size_t size);
  ~Mp3Decoder();
  Mp3Decoder(const Mp3Decoder&) = delete;
  Mp3Decoder& operator=(const Mp3Decoder&) = delete;

  // Decodes up to the first sound, which sets the format. On failure the
  // reason (without a file name) is in `error`.
  DecodeStatus start(std::string& error);

  int rate() const { return rate_; }
  int channels() const { return channels_; }

  // The next decoded samples (interleaved, a whole number of frames), valid
  // until the next call; false at the end of the stream. A change of format,
  // or a decoding error after good sound, ends the stream there.
  bool next(const int16_t*& samples, size_t& count);

  // The decoded length in frames from a walk over the frame headers (a few
  // milliseconds for a long track), 0 when unknown. It may differ from the
  // decoded length by up to two MPEG frames (trimming is counted apart).
  uint64_t scanned_frames() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  int rate_ = 0;
  int channels_ = 0;
};

// Reads a whole file. On failure the reason (without the file name) is in
// `error` and the status is `unreadable`.
DecodeStatus read_file_bytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace quarvel::audio
