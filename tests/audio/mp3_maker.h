#pragma once
// Test MP3s made on the spot with LAME, with the encoder's tag written at
// the start so that a gapless decoder gives back exactly the frames put in.

#include <lame/lame.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace quarvel::audio::testing {

// Interleaved 16-bit PCM: a sine of `hz` at `amplitude` (0..1) on every
// channel, the right channel at half the left's amplitude.
inline std::vector<int16_t> sine_pcm(int rate, int channels, uint64_t frames, double hz, double amplitude) {
  std::vector<int16_t> pcm(frames * channels);
  for (uint64_t i = 0; i < frames; ++i) {
    double v = std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate) * amplitude * 32767.0;
    pcm[i * channels] = static_cast<int16_t>(std::lround(v));
    if (channels == 2) pcm[i * channels + 1] = static_cast<int16_t>(std::lround(v / 2));
  }
  return pcm;
}

inline std::vector<uint8_t> encode_mp3(const std::vector<int16_t>& pcm, int rate, int channels, int kbps = 128) {
  lame_global_flags* gf = lame_init();
  lame_set_in_samplerate(gf, rate);
  lame_set_out_samplerate(gf, rate);
  lame_set_num_channels(gf, channels);
  lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(gf, kbps);
  lame_set_quality(gf, 7);
  lame_set_bWriteVbrTag(gf, 1);
  lame_set_write_id3tag_automatic(gf, 0);
  std::vector<uint8_t> out;
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    return out;
  }
  const int frames = static_cast<int>(pcm.size() / channels);
  std::vector<uint8_t> buf(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
  std::vector<int16_t> copy(pcm);
  int n = channels == 2
              ? lame_encode_buffer_interleaved(gf, copy.data(), frames, buf.data(), static_cast<int>(buf.size()))
              : lame_encode_buffer(gf, copy.data(), copy.data(), frames, buf.data(), static_cast<int>(buf.size()));
  if (n > 0) out.insert(out.end(), buf.begin(), buf.begin() + n);
  n = lame_encode_flush(gf, buf.data(), static_cast<int>(buf.size()));
  if (n > 0) out.insert(out.end(), buf.begin(), buf.begin() + n);
  unsigned char tag[2880];
  size_t tag_size = lame_get_lametag_frame(gf, tag, sizeof tag);
  if (tag_size > 0 && tag_size <= out.size()) std::copy(tag, tag + tag_size, out.begin());
  lame_close(gf);
  return out;
}

inline std::string write_file(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = std::string(QUARVEL_BINARY_DIR) + "/tests/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  return path;
}

inline std::string idle_tune_path() { return std::string(QUARVEL_TESTDATA_DIR) + "/audio/idle_tune.mp3"; }

}  // namespace quarvel::audio::testing
