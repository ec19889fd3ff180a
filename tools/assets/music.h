#pragma once
// The show's music: a small synthesiser (oscillators, envelopes, drums,
// chords) plays a score whose sections follow the chain of scenes, and LAME
// encodes it to MP3. Deterministic: same samples and bytes on every run.
#include <cstdint>
#include <vector>

namespace quarvel::assets {

constexpr int kMusicRate = 44100;
constexpr double kMusicSeconds = 280.0;

// Section boundaries in seconds (scene clock units / 58.8): opening, forest
// flight, forest edge, model, explosion, finale, end of the finale.
constexpr double kSectionStart[7] = {0.0,           7600.0 / 58.8,  9600.0 / 58.8,
                                     10970.0 / 58.8, 13470.0 / 58.8, 14950.0 / 58.8,
                                     15814.0 / 58.8};
// The explosion section's loud beats lie inside this window (seconds).
constexpr double kLoudBeatsFrom = 13470.0 / 58.8 + 0.4;
constexpr double kLoudBeatsTo = 14950.0 / 58.8 - 0.6;

struct StereoPcm {
  int rate = kMusicRate;
  std::vector<float> left, right;  // -1..1
};

StereoPcm compose_music();
// 44.1 kHz stereo MP3 (constant bit rate, no tags).
std::vector<uint8_t> encode_mp3(const StereoPcm& pcm);

}  // namespace quarvel::assets
