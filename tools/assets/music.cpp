#include "music.h"

#include <cmath>
#include <functional>

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
  double pad_bright = 900.0;
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
      s.pad(tb, dur, c.notes, g.pad, g.pad_bright);
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

// A tune: start and length in beats, MIDI note.
struct Note {
  double beat, beats;
  int pitch;
};
using Voice = std::function<void(double t, double dur, int note)>;

// Plays `tune` from t0 at `bpm`, shifted by `transpose`, leaving out what
// starts at or after `until`.
void melody(double t0, double bpm, const std::vector<Note>& tune, int transpose, double until, const Voice& voice) {
  const double spb = 60.0 / bpm;
  for (const Note& n : tune) {
    const double t = t0 + n.beat * spb;
    if (t >= until - 1e-6) break;
    voice(t, std::min(n.beats * spb, until - t) * 0.95, n.pitch + transpose);
  }
}

// The show's theme in A minor, eight bars over A minor, F, C and G twice.
const std::vector<Note> kTheme{
    {0, 1.5, 76},  {1.5, 0.5, 72},  {2, 1, 69},  {3, 1, 72},   {4, 1.5, 77},  {5.5, 0.5, 76},
    {6, 1, 72},    {7, 1, 69},      {8, 1, 76},  {9, 1, 79},   {10, 1, 76},   {11, 1, 72},
    {12, 2, 74},   {14, 1, 71},     {15, 1, 67}, {16, 1.5, 76}, {17.5, 0.5, 72}, {18, 1, 69},
    {19, 1, 72},   {20, 1, 77},     {21, 1, 81}, {22, 1, 79},  {23, 1, 77},   {24, 1.5, 76},
    {25.5, 0.5, 74}, {26, 1, 72},   {27, 1, 76}, {28, 1, 74},  {29, 1, 71},   {30, 2, 69},
};

// Its answer for the white screen: steady quarters climbing to the top.
const std::vector<Note> kAnswer{
    {0, 1, 69},  {1, 1, 72},  {2, 1, 76},  {3, 1, 74},  {4, 1, 72},  {5, 1, 77},  {6, 1, 76},  {7, 1, 72},
    {8, 1, 76},  {9, 1, 79},  {10, 1, 84}, {11, 1, 83}, {12, 2, 79}, {14, 1, 81}, {15, 1, 83}, {16, 3, 81},
};

// The forest edge's calm tune in D major.
const std::vector<Note> kEdgeTune{
    {0, 2, 73},  {2, 1, 74},  {3, 1, 76},  {4, 3, 74},      {7, 1, 71},  {8, 2, 73},  {10, 1, 71},
    {11, 1, 69}, {12, 4, 69}, {16, 2, 78}, {18, 1, 76},     {19, 1, 74}, {20, 2, 74}, {22, 2, 71},
    {24, 1.5, 73}, {25.5, 0.5, 71}, {26, 2, 69}, {28, 4, 69},
};

std::vector<Note> bars(const std::vector<Note>& tune, double from_beat, double to_beat) {
  std::vector<Note> out;
  for (const Note& n : tune)
    if (n.beat >= from_beat && n.beat < to_beat) out.push_back({n.beat - from_beat, n.beats, n.pitch});
  return out;
}

// Sixteenth-note snare roll rising from a0 to kFirst between t0 and t1.
void snare_roll(Synth& s, double t0, double t1, double bpm, float a0, float kFirst) {
  const double step = 60.0 / bpm / 4;
  const int n = static_cast<int>((t1 - t0) / step + 0.5);
  for (int k = 0; k < n; ++k) {
    const float p = n > 1 ? static_cast<float>(k) / static_cast<float>(n - 1) : 1.0f;
    s.snare(t0 + k * step, a0 + (kFirst - a0) * p, (k % 2) ? 0.15f : -0.15f);
  }
}

// The opening's groove, from the fade back in, in bars of 2.4 s: eight
// without the snare, eight under the theme, four of breakdown, four of
// kBuild, then the full groove until the white screen.
constexpr double kBar = 2.4;
constexpr double kFirst = 33.7, kSecond = kFirst + 8 * kBar, kBreak = kSecond + 8 * kBar,
                 kBuild = kBreak + 4 * kBar, kFull = kBuild + 4 * kBar;
constexpr double kWhiteScreen = 103.7;

// The explosion's tempo: its hits fall on its eighth notes.
constexpr double kExplosionBpm = 130.0;
// The scene clock's rate: 58.8 units a second.
constexpr double kClockRate = 58.8;

}  // namespace

std::vector<double> hit_times() {
  const double* T = kSectionStart;
  std::vector<double> hits{7271.0 / kClockRate, T[1], T[3]};
  // The explosion's camera path turns at these key times (a quarter of the
  // scene clock): the hits open the scene and land on the turns, each on
  // the eighth note nearest to it.
  const double eighth = 60.0 / kExplosionBpm / 2;
  for (double key : {0.0, 18.0, 49.0, 72.0, 147.0, 213.0, 309.0, 319.0}) {
    const double t = key * 4 / kClockRate;
    hits.push_back(T[4] + std::round(t / eighth) * eighth);
  }
  return hits;
}

StereoPcm compose_music() {
  const size_t frames = static_cast<size_t>(kMusicSeconds * kMusicRate);
  Synth s(frames);
  const std::array<double, 7> T = std::to_array(kSectionStart);
  const std::vector<double> hits = hit_times();

  auto lead_at = [&s](float amp, float pan, double bright) {
    return Voice([&s, amp, pan, bright](double t, double d, int n) { s.lead(t, d, n, amp, pan, bright); });
  };
  auto bell_at = [&s](float amp, float pan) {
    return Voice([&s, amp, pan](double t, double d, int n) { s.bell(t, d, n, amp, pan); });
  };
  auto pluck_at = [&s](float amp, float pan) {
    return Voice([&s, amp, pan](double t, double d, int n) { s.pluck(t, d, n, amp, pan, 0.45f, 0.5); });
  };

  // Opening: A minor, 100 beats a minute, a bar every 2.4 s.
  const std::vector<Chord> am{{33, {57, 60, 64}}, {29, {53, 57, 60}}, {36, {55, 60, 64}},
                              {31, {55, 59, 62}}};
  {
    // Quiet start: the pad alone, then a soft arpeggio, then a heartbeat
    // kick under the theme's first half on bells.
    Groove intro{.bpm = 100, .pad = 0.5f, .pad_bright = 600.0};
    play(s, 0.0, 9.6, am, intro);
    intro.arp = 0.2f;
    intro.arp16 = false;
    intro.pad_bright = 800.0;
    play(s, 9.6, 19.2, am, intro);
    intro.kick = 0.45f;
    intro.hats = 0.07f;
    play(s, 19.2, 28.4, am, intro);
    melody(19.2, 100, bars(kTheme, 0, 16), 0, 28.4, bell_at(0.22f, -0.3f));
    // Fade to black: only a low drone and a riser into the groove.
    s.pad(28.4, 5.3, {45, 52, 57}, 0.5f, 400.0);
    s.riser(30.5, kFirst, 0.8f);
    s.crash(kFirst, 0.3f);
    // First groove: drums without the snare, bass and arpeggio.
    const Groove first{.bpm = 100, .kick = 0.9f, .hats = 0.16f, .open_hats = 0.12f, .bass = 0.5f, .arp = 0.2f,
                       .pad = 0.35f};
    play(s, kFirst, kSecond, am, first);
    // Second: the snare comes in under the whole theme.
    Groove second = first;
    second.snare = 0.55f;
    play(s, kSecond, kBreak, am, second);
    melody(kSecond, 100, kTheme, 0, kBreak, lead_at(0.24f, 0.15f, 2500.0));
    // Breakdown: no drums, the theme's first half on bells over the pad.
    play(s, kBreak, kBuild, am, {.bpm = 100, .bass = 0.3f, .arp = 0.12f, .pad = 0.45f});
    melody(kBreak, 100, bars(kTheme, 0, 16), 12, kBuild, bell_at(0.2f, 0.35f));
    // Build: the kick comes back, a riser and a snare roll into the drop.
    play(s, kBuild, kFull, am, {.bpm = 100, .kick = 0.85f, .hats = 0.12f, .bass = 0.45f, .pad = 0.35f});
    s.riser(kBuild + 2 * kBar, kFull, 0.7f);
    snare_roll(s, kFull - kBar, kFull, 100, 0.12f, 0.5f);
    // Full groove: the theme's first half doubled an octave down, then a
    // long A.
    s.crash(kFull, 0.4f);
    Groove full = second;
    full.bass16 = true;
    full.clap = 0.25f;
    play(s, kFull, kWhiteScreen, am, full);
    std::vector<Note> close = bars(kTheme, 0, 16);
    close.push_back({16, 7, 69});
    melody(kFull, 100, close, 0, kWhiteScreen, lead_at(0.24f, 0.15f, 2800.0));
    melody(kFull, 100, close, -12, kWhiteScreen, lead_at(0.12f, -0.3f, 1800.0));
    // White screen: the answer over a driving beat.
    Groove bright = full;
    bright.arp = 0.12f;
    play(s, kWhiteScreen, 115.0, am, bright);
    melody(kWhiteScreen, 100, kAnswer, 0, 114.0, lead_at(0.26f, 0.1f, 3000.0));
    snare_roll(s, 114.1, 115.0, 100, 0.2f, 0.55f);
    // Contrast ramp and the ship's last seconds: half-time tension.
    play(s, 115.0, 123.6, am,
         {.bpm = 100, .kick = 0.8f, .hats = 0.1f, .bass = 0.4f, .pad = 0.4f, .half_time_kick = true});
    s.riser(119.6, 123.65, 0.9f);
    // After the ship goes up: the low A under what is left.
    const double blast = hits[0];
    s.pad(blast, T[1] - blast, {45, 52, 57, 60}, 0.35f, 600.0);
  }

  // Forest flight: E minor, 140 beats a minute, driving; the theme a fourth
  // down, then again an octave up.
  const std::vector<Chord> em{{28, {55, 59, 64}}, {24, {55, 60, 64}}, {31, {55, 59, 62}},
                              {26, {54, 57, 62}}};
  {
    const double bar = 4 * 60.0 / 140.0;
    play(s, T[1], T[2], em,
         {.bpm = 140, .kick = 0.85f, .clap = 0.5f, .hats = 0.15f, .bass = 0.45f, .arp = 0.16f,
          .pad = 0.35f, .bass16 = true});
    const double t1 = T[1] + 4 * bar, t2 = t1 + 8 * bar;
    melody(t1, 140, kTheme, -5, t2, lead_at(0.24f, 0.15f, 2600.0));
    melody(t2, 140, kTheme, 7, T[2], lead_at(0.2f, 0.15f, 3000.0));
    melody(t2, 140, kTheme, -5, T[2], pluck_at(0.14f, -0.35f));
    snare_roll(s, T[2] - bar, T[2] - 0.05, 140, 0.1f, 0.4f);
  }

  // Forest edge: D major, calm, bells and pads and a slow tune.
  const std::vector<Chord> dmaj{{38, {62, 66, 69, 73}}, {43, {59, 62, 67, 71}},
                                {35, {59, 62, 66, 69}}, {45, {57, 61, 64, 69}}};
  play(s, T[2], T[3], dmaj, {.bpm = 90, .hats = 0.05f, .bass = 0.3f, .pad = 0.45f, .bells = 0.2f});
  melody(T[2] + 4 * 60.0 / 90.0, 90, kEdgeTune, 0, T[3], lead_at(0.17f, -0.1f, 1600.0));

  // Model: C minor, mechanical, building for the explosion.
  const std::vector<Chord> cm{{36, {60, 63, 67}}, {32, {60, 63, 68}}, {39, {58, 63, 67}},
                              {34, {58, 62, 65}}};
  {
    const double bar = 4 * 60.0 / 124.0;
    const double m2 = T[3] + 8 * bar, m3 = m2 + 8 * bar;
    const Groove cold{.bpm = 124, .kick = 0.85f, .hats = 0.18f, .bass = 0.45f, .pad = 0.25f, .bass16 = true};
    play(s, T[3], m2, cm, cold);
    Groove warm = cold;
    warm.clap = 0.45f;
    warm.arp = 0.2f;
    warm.arp_octave = 0;
    play(s, m2, m3, cm, warm);
    melody(m2, 124, kTheme, 3 - 12, m3, lead_at(0.22f, 0.15f, 2200.0));
    Groove hot = warm;
    hot.open_hats = 0.1f;
    hot.snare = 0.3f;
    play(s, m3, T[4], cm, hot);
    melody(m3, 124, kTheme, 3, T[4], lead_at(0.2f, 0.15f, 2800.0));
    // Metallic pings on the off-beats.
    const double spb = 60.0 / 124.0;
    for (double t = T[3]; t < T[4]; t += spb * 2) s.bell(t + spb * 0.75, 0.2, 96, 0.08f, 0.6f);
    s.riser(T[4] - 2 * bar, T[4], 0.8f);
    snare_roll(s, T[4] - bar, T[4] - 0.03, 124, 0.15f, 0.55f);
  }

  // Explosion: the climax, everything at once, the theme doubled.
  {
    play(s, T[4], T[5], am,
         {.bpm = kExplosionBpm, .kick = 0.95f, .snare = 0.6f, .clap = 0.3f, .hats = 0.18f, .open_hats = 0.12f,
          .bass = 0.5f, .arp = 0.18f, .pad = 0.4f, .bass16 = true, .pad_bright = 1400.0});
    const double bar = 4 * 60.0 / kExplosionBpm;
    melody(T[4] + 2 * bar, kExplosionBpm, kTheme, 0, T[5], lead_at(0.26f, 0.15f, 3200.0));
    melody(T[4] + 2 * bar, kExplosionBpm, kTheme, 12, T[5], lead_at(0.1f, -0.35f, 3200.0));
    melody(T[4] + 2 * bar, kExplosionBpm, kTheme, -12, T[5], lead_at(0.14f, -0.1f, 1500.0));
  }

  // Finale: slow pads and bells, the theme's first half once more, softly,
  // and a long A to close.
  const std::vector<Chord> fin{{33, {57, 60, 64, 69}}, {29, {57, 60, 65}}, {36, {55, 60, 64, 67}},
                               {28, {56, 59, 64}}};
  play(s, T[5], kMusicSeconds - 2.0, fin, {.bpm = 80, .pad = 0.5f, .bells = 0.16f});
  {
    std::vector<Note> last = bars(kTheme, 0, 16);
    last.push_back({16, 8, 69});
    melody(T[5] + 3.0, 80, last, 0, kMusicSeconds - 3.0, lead_at(0.16f, 0.1f, 1400.0));
  }

  apply_echo(s, 0.3, 0.38f, 0.6f);

  // The mix's dynamics in decibels: a quiet start that grows, a breakdown,
  // the white screen and the ship at the top of the opening, a calm forest
  // edge, the model building into the explosion, and a soft finale.
  normalise(s.main, 1.0f);
  apply_gain_curve(s.main, {{0.0, -9.0},
                            {28.4, -5.0},
                            {kFirst, -4.0},
                            {kSecond, -2.5},
                            {kBreak - 0.2, -2.5},
                            {kBreak, -5.0},
                            {kBuild, -4.0},
                            {kFull, -1.0},
                            {123.6, 0.0},
                            {T[1] + 0.5, -1.0},
                            {T[2] - 0.2, -1.0},
                            {T[2] + 0.3, -2.0},
                            {T[3] - 0.3, -2.0},
                            {T[3], -3.0},
                            {T[4] - 0.3, -0.5},
                            {T[4], 2.0},
                            {T[5] - 0.3, 2.0},
                            {T[5] + 0.5, -6.0}});
  // Everything gives way to each hit: its crash and rumble come in over the
  // ducked mix and are limited with it, so that ordinary beats and the hits'
  // tails alike stay well under the flash line.
  duck(s.main, hits, 0.15f, 0.03, 0.3);
  for (size_t k = 0; k < hits.size(); ++k) {
    const bool ship = k == 0;
    s.boom(hits[k], ship ? 0.5f : 0.25f, ship ? 5.5 : 1.5);
    s.crash(hits[k], 0.3f, ship ? 2.0 : 1.2);
  }
  limit_peaks(s.main, kBeatCeiling, 0.005, 0.12);
  // Only the impacts pass the line, mixed after the limiter: a low thump
  // held for 60 ms, each to the same peak.
  for (double t : hits) s.kick(s.hits, t, 1.0f, 0.06, 0.05);
  normalise(s.hits, 0.95f);

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
    out.left[i] = limit((s.main.l[i] + s.hits.l[i]) * fade);
    out.right[i] = limit((s.main.r[i] + s.hits.r[i]) * fade);
  }
  return out;
}

}  // namespace quarvel::assets
