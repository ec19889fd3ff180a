#include "synth.h"

#include <lame/lame.h>

namespace quarvel::assets {

double midi_hz(double n) { return 440.0 * std::pow(2.0, (n - 69.0) / 12.0); }

float one_pole(double hz) { return static_cast<float>(1.0 - std::exp(-kTau * hz / kMusicRate)); }

void advance(double& phase, double hz) {
  phase += hz / kMusicRate;
  phase -= std::floor(phase);
}

void apply_echo(Synth& s, double delay_s, float feedback, float level) {
  const size_t d = static_cast<size_t>(delay_s * kMusicRate);
  Bus& fx = s.fx;
  for (size_t i = d; i < fx.size(); ++i) {
    fx.l[i] += fx.r[i - d] * feedback;
    fx.r[i] += fx.l[i - d] * feedback;
  }
  for (size_t i = 0; i < fx.size(); ++i) {
    s.main.l[i] += fx.l[i] * level;
    s.main.r[i] += fx.r[i] * level;
  }
}

void level_sections(Bus& b, const std::array<double, 7>& bounds, const std::array<float, 6>& target) {
  std::array<float, 6> gain{};
  for (int k = 0; k < 6; ++k) {
    size_t i0 = static_cast<size_t>(bounds[k] * kMusicRate);
    size_t i1 = std::min(b.size(), static_cast<size_t>(bounds[k + 1] * kMusicRate));
    if (k == 5) i1 = b.size();
    float peak = 1e-6f;
    for (size_t i = i0; i < i1; ++i) peak = std::max({peak, std::fabs(b.l[i]), std::fabs(b.r[i])});
    gain[k] = target[k] / peak;
  }
  const double ramp = 0.25;
  for (size_t i = 0; i < b.size(); ++i) {
    double t = static_cast<double>(i) / kMusicRate;
    int k = 0;
    while (k < 5 && t >= bounds[k + 1]) ++k;
    float g = gain[k];
    // Ramp from the previous section's gain over the first `ramp` seconds.
    if (k > 0 && t < bounds[k] + ramp) {
      float p = static_cast<float>((t - bounds[k]) / ramp);
      float from = std::min(gain[k - 1], gain[k]);
      g = from + (gain[k] - from) * p;  // never above this section's own gain
    }
    b.l[i] *= g;
    b.r[i] *= g;
  }
}

std::vector<uint8_t> encode_mp3(const StereoPcm& pcm) {
  std::vector<uint8_t> out;
  lame_global_flags* gf = lame_init();
  if (!gf) return out;
  lame_set_in_samplerate(gf, pcm.rate);
  lame_set_out_samplerate(gf, pcm.rate);
  lame_set_num_channels(gf, 2);
  lame_set_mode(gf, JOINT_STEREO);
  lame_set_brate(gf, 160);
  lame_set_VBR(gf, vbr_off);
  lame_set_quality(gf, 7);
  lame_set_bWriteVbrTag(gf, 0);
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    return out;
  }
  const int chunk = 8192;
  std::vector<unsigned char> buf(static_cast<size_t>(chunk * 5 / 4 + 7200));
  const size_t n = std::min(pcm.left.size(), pcm.right.size());
  for (size_t i = 0; i < n; i += chunk) {
    int count = static_cast<int>(std::min<size_t>(chunk, n - i));
    int w = lame_encode_buffer_ieee_float(gf, pcm.left.data() + i, pcm.right.data() + i, count,
                                          buf.data(), static_cast<int>(buf.size()));
    if (w < 0) break;
    out.insert(out.end(), buf.begin(), buf.begin() + w);
  }
  int w = lame_encode_flush(gf, buf.data(), static_cast<int>(buf.size()));
  if (w > 0) out.insert(out.end(), buf.begin(), buf.begin() + w);
  lame_close(gf);
  return out;
}

}  // namespace quarvel::assets
