#include "platform/audio/pcm_track.h"

#include <algorithm>
#include <cstdlib>

#include "platform/audio/mp3_decoder.h"

namespace quarvel::audio {

DecodeStatus decode_mp3(const uint8_t* data, size_t size, PcmTrack& out, std::string& error) {
  out = PcmTrack{};
  Mp3Decoder decoder(data, size);
  const DecodeStatus status = decoder.start(error);
  if (status != DecodeStatus::ok) return status;
  PcmTrack track;
  track.rate = decoder.rate();
  track.channels = decoder.channels();
  // Allocate the whole track once, so that a long track is never held twice
  // while it grows (the margin covers the scan's trimming difference).
  constexpr uint64_t kLengthMargin = 2 * 1152;
  const uint64_t length = decoder.scanned_frames();
  if (length > 0) track.samples.reserve((length + kLengthMargin) * static_cast<size_t>(track.channels));
  const int16_t* samples = nullptr;
  size_t count = 0;
  while (decoder.next(samples, count)) {
    const size_t need = track.samples.size() + count;
    if (need > track.samples.capacity())
      track.samples.reserve(std::max(need, track.samples.capacity() + track.samples.capacity() / 8));
    track.samples.insert(track.samples.end(), samples, samples + count);
  }
  if (track.samples.capacity() > track.samples.size() + track.samples.size() / 4) track.samples.shrink_to_fit();
  out = std::move(track);
  return DecodeStatus::ok;
}

DecodeStatus decode_mp3_file(const std::string& path, PcmTrack& out, std::string& error) {
  out = PcmTrack{};
  std::vector<uint8_t> bytes;
  const DecodeStatus status = read_file_bytes(path, bytes, error);
  if (status != DecodeStatus::ok) return status;
  return decode_mp3(bytes.data(), bytes.size(), out, error);
}

uint32_t level_of_peak(uint32_t peak) {
  peak = std::min<uint32_t>(peak, 32768);
  return (peak * 128u + 16384u) / 32768u;
}

void PeakMeter::add(const int16_t* s, uint64_t frames, int channels) {
  for (uint64_t i = 0; i < frames; ++i) {
    const uint32_t l = static_cast<uint32_t>(std::abs(static_cast<int>(s[i * channels])));
    const uint32_t r = channels > 1 ? static_cast<uint32_t>(std::abs(static_cast<int>(s[i * channels + 1]))) : l;
    left = std::max(left, l);
    right = std::max(right, r);
  }
}

uint32_t peak_level(const PcmTrack& track, uint64_t first, uint64_t count) {
  const uint64_t frames = track.frames();
  if (first >= frames || count == 0) return 0;
  PeakMeter meter;
  meter.add(track.samples.data() + first * track.channels, std::min(count, frames - first), track.channels);
  return meter.level();
}

uint64_t level_window_frames(int rate) {
  return rate > 0 ? std::max<uint64_t>(1, static_cast<uint64_t>(rate) / 50) : 0;
}

uint32_t level_near(const PcmTrack& track, uint64_t frame) {
  const uint64_t window = level_window_frames(track);
  const uint64_t first = frame > window / 2 ? frame - window / 2 : 0;
  return peak_level(track, first, window);
}

}  // namespace quarvel::audio
