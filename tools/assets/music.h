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
// The music passes the explosion's flash line (level 101 of 128 on the left
// channel) only at the accented hits the scenes are cut to; ordinary beats
// are limited to this share of full scale, well below the line's 79 %.
constexpr float kBeatCeiling = 0.68f;
// An accented hit stays over the line for at most this long (seconds).
constexpr double kHitLength = 0.4;

// The times (seconds) of the accented hits, in order: the ship going up in
// the opening, the cuts into the forest flight and the model, and the
// explosion's, on its camera path's turns.
std::vector<double> hit_times();

struct StereoPcm {
  int rate = kMusicRate;
  std::vector<float> left, right;  // -1..1
};

StereoPcm compose_music();
// 44.1 kHz stereo MP3 (constant bit rate, no tags).
std::vector<uint8_t> encode_mp3(const StereoPcm& pcm);

}  // namespace quarvel::assets
