#pragma once
// What the inspector prints for a music file: one JSON line with the
// decoded format and length and the left channel's peak level per second.

#include <string>

#include "platform/audio/pcm_track.h"

namespace quarvel::audio {

// Decodes `path` and fills `json_line` (no trailing newline) with
//   {"file": "...", "kind": "music", "rate": 44100, "channels": 2,
//    "frames": N, "bytes": N, "seconds": S, "left_peaks": [...]}
// where left_peaks holds the left channel's peak level (0..128) of each
// whole second. On failure returns false and puts the reason (without the
// file name) in `error`.
bool describe_music(const std::string& path, std::string& json_line, std::string& error);

// The same line for a track already decoded.
std::string music_json(const std::string& file, const PcmTrack& track);


}  // namespace quarvel::audio
