#include "synth.h"

#include <lame/lame.h>

#include <deque>

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

void apply_gain_curve(Bus& b, const std::vector<GainPoint>& curve) {
  if (curve.empty()) return;
  size_t p = 0;
  for (size_t i = 0; i < b.size(); ++i) {
    const double t = static_cast<double>(i) / kMusicRate;
    while (p + 1 < curve.size() && t >= curve[p + 1].t) ++p;
    double db = curve[p].db;
    if (t > curve[p].t && p + 1 < curve.size()) {
      const double u = (t - curve[p].t) / (curve[p + 1].t - curve[p].t);
      db += (curve[p + 1].db - db) * u;
    } else if (t < curve[p].t) {
      db = curve.front().db;
    }
    const float g = static_cast<float>(std::pow(10.0, db / 20.0));
    b.l[i] *= g;
    b.r[i] *= g;
  }
}

void normalise(Bus& b, float peak) {
  float m = 1e-9f;
  for (size_t i = 0; i < b.size(); ++i) m = std::max({m, std::fabs(b.l[i]), std::fabs(b.r[i])});
  const float g = peak / m;
  for (size_t i = 0; i < b.size(); ++i) b.l[i] *= g, b.r[i] *= g;
}

void duck(Bus& b, const std::vector<double>& times, float floor, double attack, double release) {
  for (double t : times) {
    const double from = std::max(0.0, t - attack);
    const size_t i0 = static_cast<size_t>(from * kMusicRate);
    const size_t i1 = std::min(b.size(), static_cast<size_t>((t + release * 6) * kMusicRate));
    for (size_t i = i0; i < i1; ++i) {
      const double s = static_cast<double>(i) / kMusicRate - t;
      // Down along a half cosine before the hit, back up exponentially after.
      const double depth = s < 0 ? 0.5 - 0.5 * std::cos(kTau * 0.5 * (s + attack) / attack) : std::exp(-s / release);
      const float g = static_cast<float>(1.0 - (1.0 - floor) * depth);
      b.l[i] *= g;
      b.r[i] *= g;
    }
  }
}

void limit_peaks(Bus& b, float ceiling, double lookahead, double release) {
  const size_t n = b.size();
  const size_t la = std::max<size_t>(1, static_cast<size_t>(lookahead * kMusicRate));
  // The gain each sample needs on its own.
  std::vector<float> need(n);
  for (size_t i = 0; i < n; ++i) {
    const float a = std::max(std::fabs(b.l[i]), std::fabs(b.r[i]));
    need[i] = a > ceiling ? ceiling / a : 1.0f;
  }
  // The least of them from each sample to `la` samples ahead (a running
  // minimum over a monotone queue), then released slowly.
  std::vector<float> gain(n);
  std::deque<size_t> queue;
  size_t next = 0;
  const float rel = static_cast<float>(1.0 - std::exp(-1.0 / (release * kMusicRate)));
  float g = 1.0f;
  for (size_t i = 0; i < n; ++i) {
    for (; next < n && next <= i + la; ++next) {
      while (!queue.empty() && need[queue.back()] >= need[next]) queue.pop_back();
      queue.push_back(next);
    }
    while (queue.front() < i) queue.pop_front();
    g = std::min(need[queue.front()], g + (1.0f - g) * rel);
    gain[i] = g;
  }
  // A moving average over the look-ahead: each averaged sample is still at
  // or below what every sample up to `la` ahead needs, and the gain changes
  // smoothly.
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    sum += gain[i];
    if (i >= la) sum -= gain[i - la];
    const float avg = static_cast<float>(sum / static_cast<double>(std::min(i + 1, la)));
    b.l[i] *= avg;
    b.r[i] *= avg;
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
