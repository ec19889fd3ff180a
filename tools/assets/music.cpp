#include "music.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "geometry.h"

namespace quarvel::assets {

namespace {

constexpr double kTau = 6.283185307179586;

double midi_hz(double n) { return 440.0 * std::pow(2.0, (n - 69.0) / 12.0); }

// Coefficient of a one-pole low-pass filter with its corner at `hz`.
float one_pole(double hz) { return static_cast<float>(1.0 - std::exp(-kTau * hz / kMusicRate)); }

// Moves an oscillator's phase (0..1) on by one sample at `hz`.
void advance(double& phase, double hz) {
  phase += hz / kMusicRate;
  phase -= std::floor(phase);
}

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

  Bus main;  // everything, level-matched per section afterwards
  Bus fx;    // sent through the echo, then into main
  Bus hits;  // the explosion section's loud beats, mixed last

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
  void lead(double t, double dur, int note, float amp) {
    const size_t i0 = index(t);
    const int n = static_cast<int>((dur + 0.2) * kMusicRate);
    const double f = midi_hz(note);
    double phase = 0;
    float lp = 0;
    const float a = one_pole(2500.0);
    for (int k = 0; k < n; ++k) {
      double s = static_cast<double>(k) / kMusicRate;
      double vib = 1.0 + 0.006 * std::sin(kTau * 5.5 * s) * std::min(1.0, s / 0.3);
      advance(phase, f * vib);
      lp += a * (static_cast<float>(2.0 * phase - 1.0) - lp);
      double env = std::min(1.0, s / 0.02) * (s < dur ? 1.0 : std::exp(-(s - dur) / 0.06));
      put_sent(i0 + static_cast<size_t>(k), static_cast<float>(lp * env * amp), 0.3f, 0.1f);
    }
  }

 private:
  Rng rng_;
};

struct Chord {
  int root;                // bass note
  std::vector<int> notes;  // pad notes
};

struct Groove {
  double bpm = 120;
  int beats_per_chord = 4;
  float kick = 0, snare = 0, clap = 0, hats = 0, open_hats = 0, bass = 0, arp = 0, pad = 0,
        bells = 0;
  bool bass16 = false;
  bool arp16 = true;
  bool half_time_kick = false;
  int arp_octave = 12;
};

// Plays `g` from t0 until t1 over the chord progression.
void play(Synth& s, double t0, double t1, const std::vector<Chord>& prog, const Groove& g) {
  const double spb = 60.0 / g.bpm;
  int chord_index = -1;
  for (int b = 0;; ++b) {
    const double tb = t0 + b * spb;
    if (tb >= t1 - 1e-6) break;
    const int ci = (b / g.beats_per_chord) % static_cast<int>(prog.size());
    const Chord& c = prog[static_cast<size_t>(ci)];
    const int in_bar = b % 4;
    if (b % g.beats_per_chord == 0 && g.pad > 0 && ci != chord_index) {
      double dur = std::min(g.beats_per_chord * spb, t1 - tb);
      s.pad(tb, dur, c.notes, g.pad);
    }
    chord_index = ci;
    if (g.kick > 0 && (!g.half_time_kick || in_bar == 0 || in_bar == 2)) s.kick(s.main, tb, g.kick);
    if (g.snare > 0 && (in_bar == 1 || in_bar == 3)) s.snare(tb, g.snare);
    if (g.clap > 0 && (in_bar == 1 || in_bar == 3)) s.clap(tb, g.clap);
    if (g.hats > 0) {
      s.hat(tb + spb * 0.5, g.hats, false, 0.3f);
      if (g.open_hats > 0 && in_bar == 3) s.hat(tb + spb * 0.5, g.open_hats, true, -0.3f);
      else if (g.arp16) s.hat(tb + spb * 0.25, g.hats * 0.5f, false, -0.25f),
                        s.hat(tb + spb * 0.75, g.hats * 0.5f, false, -0.25f);
    }
    if (g.bass > 0) {
      const int steps = g.bass16 ? 4 : 2;
      for (int k = 0; k < steps; ++k) {
        double tk = tb + k * spb / steps;
        if (tk >= t1) break;
        int note = c.root + ((k % 2 == 1 && steps == 4) ? 12 : 0);
        s.bass(tk, spb / steps * 0.8, note, g.bass);
      }
    }
    if (g.arp > 0) {
      const int steps = g.arp16 ? 4 : 2;
      for (int k = 0; k < steps; ++k) {
        double tk = tb + k * spb / steps;
        if (tk >= t1) break;
        int step = (b * steps + k);
        int note = c.notes[static_cast<size_t>(step) % c.notes.size()] + g.arp_octave +
                   ((step / static_cast<int>(c.notes.size())) % 2) * 12;
        s.pluck(tk, spb / steps * 0.9, note, g.arp, (k % 2) ? 0.4f : -0.4f);
      }
    }
    if (g.bells > 0 && (b % 2 == 0)) {
      int note = c.notes[static_cast<size_t>(b / 2) % c.notes.size()] + 24;
      s.bell(tb, spb * 1.5, note, g.bells, (b % 4) ? 0.5f : -0.5f);
    }
  }
}

// Echo on the send bus: ping-pong feedback delay, then into `main`.
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

// Scales each section of `b` so that its peak is `target[k]`, with short
// gain ramps across the boundaries.
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

}  // namespace

StereoPcm compose_music() {
  const size_t frames = static_cast<size_t>(kMusicSeconds * kMusicRate);
  Synth s(frames);
  const std::array<double, 7> T = std::to_array(kSectionStart);

  // Opening: A minor, 100 beats a minute.
  const std::vector<Chord> am{{33, {57, 60, 64}}, {29, {53, 57, 60}}, {36, {55, 60, 64}},
                              {31, {55, 59, 62}}};
  {
    Groove intro{.bpm = 100, .pad = 0.5f};
    play(s, 0.0, 9.6, am, intro);
    intro.arp = 0.22f;
    intro.arp16 = false;
    play(s, 9.6, 19.2, am, intro);
    intro.kick = 0.5f;
    intro.hats = 0.08f;
    play(s, 19.2, 28.4, am, intro);
    // Fade to black: only a low drone and a riser into the groove.
    s.pad(28.4, 5.3, {45, 52, 57}, 0.5f, 400.0);
    s.riser(30.5, 33.7, 0.8f);
    const Groove main{.bpm = 100, .kick = 0.9f, .snare = 0.55f, .hats = 0.16f, .open_hats = 0.12f,
                      .bass = 0.5f, .arp = 0.2f, .pad = 0.35f};
    play(s, 33.7, 103.7, am, main);
    // White screen: lead tune over a driving beat.
    Groove bright = main;
    bright.arp = 0.12f;
    bright.bass16 = true;
    play(s, 103.7, 115.0, am, bright);
    const int tune[] = {69, 72, 76, 74, 72, 71, 69, 67, 65, 69, 72, 71, 67, 71, 74, 72};
    for (int k = 0; k < 16; ++k) s.lead(103.7 + k * 0.6 * 1.175, 0.6 * 1.1, tune[k], 0.28f);
    for (int k = 0; k < 8; ++k) s.snare(114.0 + k * 0.125, 0.25f + 0.05f * k);
    // Contrast ramp and the ship's last seconds: half-time tension.
    play(s, 115.0, 123.6, am,
         {.bpm = 100, .kick = 0.8f, .hats = 0.1f, .bass = 0.4f, .pad = 0.4f, .half_time_kick = true});
    s.riser(119.6, 123.65, 0.9f);
    // The ship goes up at 7271 clock units.
    const double blast = 7271.0 / 58.8;
    s.boom(blast, 0.9f, 5.5);
    s.crash(blast, 0.5f, 2.0);
    s.pad(blast, T[1] - blast, {45, 52, 57, 60}, 0.35f, 600.0);
  }

  // Forest flight: E minor, 140 beats a minute, driving.
  const std::vector<Chord> em{{28, {55, 59, 64}}, {24, {55, 60, 64}}, {26, {54, 57, 62}},
                              {23, {54, 59, 62}}};
  s.crash(T[1], 0.4f);
  play(s, T[1], T[2], em,
       {.bpm = 140, .kick = 0.85f, .clap = 0.5f, .hats = 0.15f, .bass = 0.45f, .arp = 0.18f,
        .pad = 0.35f, .bass16 = true});

  // Forest edge: D major, calm, bells and pads.
  const std::vector<Chord> dmaj{{38, {62, 66, 69, 73}}, {43, {59, 62, 67, 71}},
                                {35, {59, 62, 66, 69}}, {45, {57, 61, 64, 69}}};
  play(s, T[2], T[3], dmaj, {.bpm = 90, .hats = 0.05f, .bass = 0.3f, .pad = 0.45f, .bells = 0.25f});

  // Model: C minor, mechanical.
  const std::vector<Chord> cm{{36, {60, 63, 67}}, {32, {60, 63, 68}}, {39, {58, 63, 67}},
                              {34, {58, 62, 65}}};
  {
    s.crash(T[3], 0.35f);
    play(s, T[3], T[4], cm,
         {.bpm = 124, .kick = 0.85f, .clap = 0.45f, .hats = 0.18f, .open_hats = 0.1f, .bass = 0.45f,
          .arp = 0.22f, .pad = 0.25f, .bass16 = true, .arp_octave = 0});
    // Metallic pings on the off-beats.
    const double spb = 60.0 / 124.0;
    for (double t = T[3]; t < T[4]; t += spb * 2) s.bell(t + spb * 0.75, 0.2, 96, 0.08f, 0.6f);
  }

  // Explosion: a quiet rumble under loud, short beats.
  {
    play(s, T[4], T[5], am, {.bpm = 130, .hats = 0.12f, .bass = 0.3f, .pad = 0.3f});
    const double spb = 60.0 / 130.0;
    int n = 0;
    for (double t = kLoudBeatsFrom; t < kLoudBeatsTo; t += spb, ++n) {
      s.kick(s.hits, t, 1.0f, 0.06, 0.05);
      if (n % 4 == 3 && t + spb * 0.5 < kLoudBeatsTo) s.kick(s.hits, t + spb * 0.5, 1.0f, 0.06, 0.05);
      if (n % 8 == 0) s.crash(t, 0.35f, 1.2);
    }
  }

  // Finale: slow pads and bells, fading out.
  const std::vector<Chord> fin{{33, {57, 60, 64, 69}}, {29, {57, 60, 65}}, {36, {55, 60, 64, 67}},
                               {28, {56, 59, 64}}};
  play(s, T[5], kMusicSeconds - 2.0, fin, {.bpm = 80, .pad = 0.5f, .bells = 0.2f});

  apply_echo(s, 0.3, 0.38f, 0.6f);
  level_sections(s.main, T, {0.6f, 0.6f, 0.6f, 0.6f, 0.3f, 0.55f});
  // Peak of the loud beats alone: 0.9.
  float hp = 1e-6f;
  for (size_t i = 0; i < frames; ++i) hp = std::max(hp, std::fabs(s.hits.l[i]));
  const float hg = 0.9f / hp;
  StereoPcm out;
  out.left.resize(frames);
  out.right.resize(frames);
  const double fade_from = kMusicSeconds - 10.0;
  for (size_t i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / kMusicRate;
    float fade = t > fade_from ? static_cast<float>(std::max(0.0, 1.0 - (t - fade_from) / 9.0)) : 1.0f;
    auto limit = [](float x) {
      float a = std::fabs(x);
      if (a <= 0.9f) return x;
      float y = 0.9f + 0.09f * std::tanh((a - 0.9f) / 0.09f);
      return x < 0 ? -y : y;
    };
    out.left[i] = limit((s.main.l[i] + s.hits.l[i] * hg) * fade);
    out.right[i] = limit((s.main.r[i] + s.hits.r[i] * hg) * fade);
  }
  return out;
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
