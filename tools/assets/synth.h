#pragma once
// The synthesiser the score plays: oscillator helpers, stereo buses, the
// instruments (drums, bass, pads, bells, lead), the echo, the mastering (gain
// curve, ducking, look-ahead limiter) and the MP3 encoder.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "geometry.h"
#include "music.h"

namespace quarvel::assets {

inline constexpr double kTau = 6.283185307179586;

double midi_hz(double n);

// Coefficient of a one-pole low-pass filter with its corner at `hz`.
float one_pole(double hz);

// Moves an oscillator's phase (0..1) on by one sample at `hz`.
void advance(double& phase, double hz);

// A simple high-pass on noise: keeps the hiss, `k` sets how bright.
struct HighPass {
  float k;
  float out = 0, prev = 0;
  float operator()(float in) {
    out = k * (out + in - prev);
    prev = in;
    return out;
  }
};

// A stereo bus of the song's length.
struct Bus {
  std::vector<float> l, r;
  explicit Bus(size_t n) : l(n, 0.0f), r(n, 0.0f) {}
  size_t size() const { return l.size(); }
};

class Synth {
 public:
  explicit Synth(size_t frames) : main(frames), fx(frames), hits(frames), rng_(20240611u) {}

  Bus main;  // everything, then shaped by the gain curve, ducked and limited
  Bus fx;    // sent through the echo, then into main
  Bus hits;  // the accented hits the scenes are cut to, mixed after the limiter

  size_t index(double t) const { return static_cast<size_t>(std::max(0.0, t) * kMusicRate); }

  static void put(Bus& b, size_t i, float v, float pan) {
    if (i >= b.size()) return;
    b.l[i] += v * (1.0f - pan) * 0.5f * 2.0f * 0.7071f;
    b.r[i] += v * (1.0f + pan) * 0.5f * 2.0f * 0.7071f;
  }

  float noise() { return rng_.uniform() * 2.0f - 1.0f; }

  // `v` into the main bus, with the share `send` of it into the echo.
  void put_sent(size_t i, float v, float send, float pan) {
    put(main, i, v * (1.0f - send), pan);
    put(fx, i, v * send, pan);
  }

  void kick(Bus& b, double t, float amp, double hold = 0.0, double decay = 0.32) {
    const size_t i0 = index(t);
    const int n = static_cast<int>((hold + decay * 5) * kMusicRate);
    double phase = 0;
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      double f = 48.0 + 110.0 * std::exp(-s / 0.035);
      phase += kTau * f / kMusicRate;
      double env = s < 0.002 ? s / 0.002 : (s < hold ? 1.0 : std::exp(-(s - hold) / decay));
      double click = s < 0.004 ? (1.0 - s / 0.004) * 0.3 : 0.0;
      float v = static_cast<float>((std::sin(phase) + click) * env * amp);
      put(b, i0 + static_cast<size_t>(k), v, 0.0f);
    }
  }

  void snare(double t, float amp, float pan = 0.05f) {
    const size_t i0 = index(t);
    const int n = static_cast<int>(0.35 * kMusicRate);
    HighPass hp{0.6f};
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      float h = hp(noise());
      double tone = std::sin(kTau * 185.0 * s) * std::exp(-s / 0.05);
      double v = (h * std::exp(-s / 0.09) * 0.8 + tone * 0.5) * amp;
      put(main, i0 + static_cast<size_t>(k), static_cast<float>(v), pan);
    }
  }

  void clap(double t, float amp) {
    const size_t i0 = index(t);
    const int n = static_cast<int>(0.25 * kMusicRate);
    float bp = 0, lp = 0;
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      float w = noise();
      lp += 0.35f * (w - lp);
      bp = w - lp;
      double env = 0;
      for (int burst = 0; burst < 3; ++burst) {
        double o = s - burst * 0.011;
        if (o >= 0) env = std::max(env, std::exp(-o / (burst == 2 ? 0.08 : 0.01)));
      }
      put(main, i0 + static_cast<size_t>(k), static_cast<float>(bp * env * amp), -0.1f);
    }
  }

  void hat(double t, float amp, bool open, float pan) {
    const size_t i0 = index(t);
    const double dec = open ? 0.14 : 0.03;
    const int n = static_cast<int>(dec * 6 * kMusicRate);
    HighPass hp{0.3f};
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      float h = hp(noise());
      put(main, i0 + static_cast<size_t>(k), static_cast<float>(h * std::exp(-s / dec) * amp), pan);
    }
  }

  void crash(double t, float amp, double decay = 1.4) {
    const size_t i0 = index(t);
    const int n = static_cast<int>(decay * 5 * kMusicRate);
    HighPass hp{0.5f};
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      float h = hp(noise());
      double ring = std::sin(kTau * 3150.0 * s + 2.0 * std::sin(kTau * 4370.0 * s));
      double v = (h * 0.8 + ring * 0.15) * std::exp(-s / decay) * amp;
      put(main, i0 + static_cast<size_t>(k), static_cast<float>(v), (k & 1) ? 0.2f : -0.2f);
    }
  }

  // Low rumble of filtered noise with a falling tone: the sound of something
  // big going up.
  void boom(double t, float amp, double len) {
    const size_t i0 = index(t);
    const int n = static_cast<int>(len * kMusicRate);
    float lp = 0, lp2 = 0;
    double phase = 0;
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      lp += 0.02f * (noise() - lp);
      lp2 += 0.05f * (lp - lp2);
      phase += kTau * (30.0 + 60.0 * std::exp(-s / 0.4)) / kMusicRate;
      double env = std::min(1.0, s / 0.01) * std::exp(-s / (len * 0.3));
      double v = (lp2 * 6.0 + std::sin(phase) * 0.6) * env * amp;
      put(main, i0 + static_cast<size_t>(k), static_cast<float>(v), 0.0f);
    }
  }

  // Noise sweeping up in brightness and level between t0 and t1.
  void riser(double t0, double t1, float amp) {
    const size_t i0 = index(t0);
    const int n = static_cast<int>((t1 - t0) * kMusicRate);
    float lp = 0;
    for (int k = 0; k < n; ++k) {
      double p = static_cast<double>(k) / n;
      float a = static_cast<float>(0.01 + 0.5 * p * p);
      lp += a * (noise() - lp);
      put(fx, i0 + static_cast<size_t>(k), static_cast<float>(lp * p * p * amp),
          static_cast<float>(std::sin(p * 20.0) * 0.5));
    }
  }

  void bass(double t, double dur, int note, float amp, double cutoff = 600.0) {
    const size_t i0 = index(t);
    const int n = static_cast<int>((dur + 0.05) * kMusicRate);
    const double f = midi_hz(note);
    double phase = 0;
    float lp = 0, lp2 = 0;
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      advance(phase, f);
      double saw = 2.0 * phase - 1.0;
      double sq = phase < 0.5 ? 1.0 : -1.0;
      float a = one_pole(cutoff * (0.4 + 1.6 * std::exp(-s / 0.08)));
      lp += a * (static_cast<float>(0.7 * saw + 0.3 * sq) - lp);
      lp2 += a * (lp - lp2);
      double env = std::min(1.0, s / 0.004) * (s < dur ? 1.0 : std::max(0.0, 1.0 - (s - dur) / 0.05));
      put(main, i0 + static_cast<size_t>(k), static_cast<float>(lp2 * env * amp), 0.0f);
    }
  }

  // Soft chord: three slightly detuned saws per note, filtered, slow
  // attack and release.
  void pad(double t, double dur, const std::vector<int>& notes, float amp, double bright = 900.0) {
    const size_t i0 = index(t);
    const double attack = std::min(0.8, dur * 0.3), release = 1.2;
    const int n = static_cast<int>((dur + release) * kMusicRate);
    int v = 0;
    for (int note : notes) {
      for (int d = 0; d < 3; ++d) {
        const double f = midi_hz(note) * (1.0 + (d - 1) * 0.004);
        double phase = (d * 0.33 + v * 0.17);
        float lp = 0, lp2 = 0;
        const float a = one_pole(bright);
        const float pan = static_cast<float>((d - 1) * 0.6);
        for (int k = 0; k < n; ++k) {
          double s = static_cast<double>(k) / kMusicRate;
          advance(phase, f);
          lp += a * (static_cast<float>(2.0 * phase - 1.0) - lp);
          lp2 += a * (lp - lp2);
          double env = s < attack ? s / attack : (s < dur ? 1.0 : std::exp(-(s - dur) / (release * 0.3)));
          put(main, i0 + static_cast<size_t>(k), static_cast<float>(lp2 * env * amp * 0.33), pan);
        }
      }
      ++v;
    }
  }

  // Plucked pulse wave, partly sent to the echo.
  void pluck(double t, double dur, int note, float amp, float pan, float send = 0.35f,
             double width = 0.3) {
    const size_t i0 = index(t);
    const int n = static_cast<int>((dur + 0.3) * kMusicRate);
    const double f = midi_hz(note);
    double phase = 0;
    float lp = 0;
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      advance(phase, f);
      double x = phase < width ? 1.0 : -1.0;
      lp += one_pole(400.0 + 5000.0 * std::exp(-s / 0.06)) * (static_cast<float>(x) - lp);
      double env = std::min(1.0, s / 0.002) * std::exp(-s / (dur * 0.5 + 0.02));
      put_sent(i0 + static_cast<size_t>(k), static_cast<float>(lp * env * amp), send, pan);
    }
  }

  // FM bell.
  void bell(double t, double dur, int note, float amp, float pan) {
    const size_t i0 = index(t);
    const int n = static_cast<int>((dur + 1.0) * kMusicRate);
    const double f = midi_hz(note);
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      double idx = 3.0 * std::exp(-s / 0.4);
      double v = std::sin(kTau * f * s + idx * std::sin(kTau * f * 3.5 * s));
      double env = std::min(1.0, s / 0.003) * std::exp(-s / (dur * 0.6 + 0.3));
      put(main, i0 + static_cast<size_t>(k), static_cast<float>(v * env * amp * 0.6), pan);
      put(fx, i0 + static_cast<size_t>(k), static_cast<float>(v * env * amp * 0.4), pan);
    }
  }

  // Sustained lead with vibrato.
  void lead(double t, double dur, int note, float amp, float pan = 0.1f, double bright = 2500.0) {
    const size_t i0 = index(t);
    const int n = static_cast<int>((dur + 0.2) * kMusicRate);
    const double f = midi_hz(note);
    double phase = 0;
    float lp = 0;
    const float a = one_pole(bright);
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      double vib = 1.0 + 0.006 * std::sin(kTau * 5.5 * s) * std::min(1.0, s / 0.3);
      advance(phase, f * vib);
      lp += a * (static_cast<float>(2.0 * phase - 1.0) - lp);
      double env = std::min(1.0, s / 0.02) * (s < dur ? 1.0 : std::exp(-(s - dur) / 0.06));
      put_sent(i0 + static_cast<size_t>(k), static_cast<float>(lp * env * amp), 0.3f, pan);
    }
  }

 private:
  Rng rng_;
};

// Echo on the send bus: ping-pong feedback delay, then into `main`.
void apply_echo(Synth& s, double delay_s, float feedback, float level);

// A gain in decibels at a time; a curve of them is followed linearly (in
// decibels) between points and held before the first and after the last.
struct GainPoint {
  double t;
  double db;
};
void apply_gain_curve(Bus& b, const std::vector<GainPoint>& curve);

// Scales `b` so that its loudest sample on either channel is `peak`.
void normalise(Bus& b, float peak);

// Ducks `b` under each of `times`: the gain falls to `floor` over
// `attack` seconds before the time and comes back over `release` seconds.
void duck(Bus& b, const std::vector<double>& times, float floor, double attack, double release);

// Look-ahead peak limiter: no sample of `b` leaves above `ceiling` on either
// channel. The gain falls over `lookahead` seconds before a peak (so without
// a click) and recovers with the time constant `release`.
void limit_peaks(Bus& b, float ceiling, double lookahead, double release);

}  // namespace quarvel::assets
