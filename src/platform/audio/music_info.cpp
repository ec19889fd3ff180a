#include "platform/audio/music_info.h"

#include "platform/common/json.h"

#include <cstdio>

namespace quarvel::audio {

std::string music_json(const std::string& file, const PcmTrack& track) {
  const uint64_t frames = track.frames();
  const double seconds = track.rate > 0 ? static_cast<double>(frames) / track.rate : 0.0;
  char head[256];
  std::snprintf(head, sizeof head,
                ", \"kind\": \"music\", \"rate\": %d, \"channels\": %d, \"frames\": %llu, \"bytes\": %llu, "
                "\"seconds\": %.3f, \"left_peaks\": [",
                track.rate, track.channels, static_cast<unsigned long long>(frames),
                static_cast<unsigned long long>(track.bytes()), seconds);
  std::string line = "{\"file\": " + json_string(file) + head;
  const uint64_t rate = track.rate > 0 ? static_cast<uint64_t>(track.rate) : 0;
  const uint64_t whole_seconds = rate ? frames / rate : 0;
  for (uint64_t s = 0; s < whole_seconds; ++s) {
    if (s) line += ", ";
    line += std::to_string(peak_level(track, s * rate, rate) & 0xFFFFu);
  }
  return line + "]}";
}

bool describe_music(const std::string& path, std::string& json_line, std::string& error) {
  PcmTrack track;
  if (decode_mp3_file(path, track, error) != DecodeStatus::ok) return false;
  json_line = music_json(path, track);
  return true;
}

}  // namespace quarvel::audio
