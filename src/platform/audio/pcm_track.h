#pragma once
// Decoded music: a whole MP3 file turned into 16-bit PCM up front, at the
// file's own sample rate and channel count, plus the peak-level queries the
// show and the inspector make on it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarvel::audio {

// Interleaved signed 16-bit PCM. A sample frame holds one sample per channel.
struct PcmTrack {
  int rate = 0;       // sample frames per second
  int channels = 0;   // 1 or 2
  std::vector<int16_t> samples;

  uint64_t frames() const { return channels > 0 ? samples.size() / static_cast<size_t>(channels) : 0; }
  uint32_t frame_bytes() const { return channels > 0 ? 2u * static_cast<uint32_t>(channels) : 0; }
  uint64_t bytes() const { return static_cast<uint64_t>(samples.size()) * 2u; }
  bool empty() const { return frames() == 0; }
};

enum class DecodeStatus {
  ok,
  unreadable,   // the file cannot be opened or read
  undecodable,  // empty, or no MPEG audio in it
};

// Decodes a whole MP3 (gapless: encoder delay and padding removed when the
// file says how much there is). On failure leaves `out` empty and puts the
// reason, without the file name, in `error`. A stream that breaks off after
// some good frames keeps the sound decoded up to there.
DecodeStatus decode_mp3(const uint8_t* data, size_t size, PcmTrack& out, std::string& error);

// Reads and decodes a file. The error names what went wrong (not the file).
DecodeStatus decode_mp3_file(const std::string& path, PcmTrack& out, std::string& error);

// A peak sample magnitude (0..32768) on the 0..128 level scale, rounded to
// nearest: full scale is 128, half scale 64.
uint32_t level_of_peak(uint32_t peak);

// Peak sample magnitudes gathered over runs of interleaved frames (a mono
// track gives its one channel to both sides).
struct PeakMeter {
  uint32_t left = 0;
  uint32_t right = 0;
  void add(const int16_t* samples, uint64_t frames, int channels);
  // Left in the low 16 bits, right in the high 16 bits, each 0..128.
  uint32_t level() const { return level_of_peak(left) | (level_of_peak(right) << 16); }
};

// Peak level of the frames [first, first + count) clipped to the track:
// the left channel in the low 16 bits, the right in the high 16 bits (a mono
// track gives its one channel to both). An empty range gives 0.
uint32_t peak_level(const PcmTrack& track, uint64_t first, uint64_t count);

// Length of the window the "level near a position" covers: 20 ms of frames.
uint64_t level_window_frames(int rate);
inline uint64_t level_window_frames(const PcmTrack& track) { return level_window_frames(track.rate); }

// Peak level in the 20 ms window centred on `frame`.
uint32_t level_near(const PcmTrack& track, uint64_t frame);

}  // namespace quarvel::audio
