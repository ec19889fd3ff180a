#include "music.h"

#include "synth.h"

namespace quarvel::assets {

namespace {

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

}  // namespace quarvel::assets
