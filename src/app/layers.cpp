#include "app/layers.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "controls/ramps.h"
#include "scene/helpers.h"

namespace quarvel::app {

using scene::deg;
using scene::Round;
using scene::table_cos;
using scene::table_sin;
using scene::Trunc;

namespace {

constexpr int kWidth = display::DisplayControl::kWidth;
constexpr int kHeight = display::DisplayControl::kHeight;

// Black lines at the places `at` (rows or columns), as few fills as give
// the same pixels: each line inside 0..extent once, and neighbouring lines
// as one band. All are black, so the order they were asked in does not
// matter; fewer and wider fills cost the renderer less.
template <typename Band>
void black_lines(std::vector<int64_t> at, int64_t extent, Band band) {
  std::sort(at.begin(), at.end());
  at.erase(std::unique(at.begin(), at.end()), at.end());
  for (size_t i = 0; i < at.size();) {
    size_t j = i + 1;
    while (j < at.size() && at[j] == at[j - 1] + 1) ++j;
    const int64_t from = std::max<int64_t>(at[i], 0), to = std::min<int64_t>(at[j - 1] + 1, extent);
    if (from < to) band(static_cast<int>(from), static_cast<int>(to - from));
    i = j;
  }
}

}  // namespace

int32_t logo_opacity(double e) { return static_cast<int32_t>(Trunc(e * 126.0 + 127.0)); }

render::Rect swing_rect(float horloge, int32_t top) {
  const double c = std::cos(2.0 * deg(horloge));
  const int64_t n = Round(320.0 * c);
  const int64_t left = 160 + Trunc(static_cast<double>(-n) / 2.0);
  return {static_cast<int>(left), top, static_cast<int>(Round(320.0 * c + 320.0)), 32};
}

void opening_band(scene::Show& s) {
  if (!(s.clock.horloge > 6100.0f && s.clock.horloge < 6760.0f)) return;
  const int64_t c = s.layers.ecran16_n;
  if (32 * c - 240 < 0) return;
  // Rows 2 r for r from 240 - 16 c to 16 c.
  const int first = static_cast<int>(2 * (240 - 16 * c)), last = static_cast<int>(32 * c);
  s.DXDraw.fill_rows(0, first, kWidth, last - first + 1, 2, kBandColour);
}

void scan_lines(scene::Show& s) {
  // Rows 0, 2, ..., 480 (the last one off the surface).
  s.DXDraw.fill_rows(0, 0, kWidth, 481, 2, 0);
}

void cosine_grid(scene::Show& s) {
  const double k = std::cos(2.0 * deg(static_cast<double>(s.view.cam_pos.y) / 45.0));
  std::vector<int64_t> rows, columns;
  for (int i = 0; i <= 320; ++i) rows.push_back(Round(1000.0 * k * std::sin(deg(i)) + 240.0));
  for (int j = 0; j <= 240; ++j) columns.push_back(static_cast<int>(Round(1000.0 * k * std::sin(deg(j)) + 320.0)));
  black_lines(std::move(rows), kHeight, [&s](int y, int n) { s.DXDraw.fill_rect(0, y, kWidth, n, 0); });
  black_lines(std::move(columns), kWidth, [&s](int x, int n) { s.DXDraw.fill_rect(x, 0, n, kHeight, 0); });
}

void banner_and_logo(scene::Show& s) {
  const float h = s.clock.horloge;
  const double hd = h;
  const int64_t banner_y = h < 240.0f ? Round(480.0 - hd / 2.0) : 360;
  s.DXDraw.draw(5, 0, static_cast<int>(banner_y));

  const int64_t half = Round(hd / 2.0);
  const int64_t whole = Round(hd);
  int32_t& stage = s.layers.etape_logo;
  if (stage == 0 && h > 360.0f) {
    const int32_t a = logo_opacity(table_sin(half + 180));
    s.DXDraw.draw_alpha(swing_rect(h, 410), 0, a);
    if (a < 2 && h > 440.0f) stage = 1;
  }
  if (stage == 1) {
    const int64_t v = Round(110.0 * std::cos(2.0 * deg(hd) + 120.0));
    const render::Rect r{256, static_cast<int>(360 + Trunc(static_cast<double>(-v) / 2.0)), 128,
                         static_cast<int>(v + 120)};
    s.DXDraw.draw_alpha(r, 1, logo_opacity(table_cos(whole + 240)));
    if (logo_opacity(table_sin(whole + 50)) < 2) stage = 2;
  }
  if (stage == 2) {
    const render::Rect r{265, 400, 128, static_cast<int>(Round(50.0 * std::cos(10.0 * deg(hd) + 240.0) + 60.0))};
    s.DXDraw.draw_alpha(r, 2, logo_opacity(table_cos(whole + 90)));
    if (logo_opacity(table_sin(whole + 150)) < 2) stage = 3;
  }
  if (stage == 3 && h > 850.0f) {
    const int32_t a = logo_opacity(table_sin(half + 180));
    s.DXDraw.draw_alpha(swing_rect(h, 385), 3, a);
    s.DXDraw.draw_alpha(swing_rect(h, 410), 4, a);
    if (logo_opacity(table_sin(whole + 150)) < 2) stage = 4;
  }
  if (stage == 4 && h > 1050.0f) {
    const int32_t a = logo_opacity(table_sin(whole));
    s.DXDraw.draw_alpha(swing_rect(h, 410), 7, a);
    if (a < 2) stage = 5;
  }
  if (stage == 5 && h > 1250.0f) {
    s.DXDraw.draw_alpha(swing_rect(h, 410), 8, logo_opacity(table_sin(half + 90)));
    if (h > 1700.0f) stage = 6;
  }
}

bool fade_out(scene::Show& s) {
  if (!(s.clock.horloge > kFadeStart)) return false;
  s.layers.fondu = static_cast<int32_t>(Round(static_cast<double>(s.clock.horloge) - 700.0) * 2);
  s.DXDraw.set_gamma(
      controls::darkened_ramp(s.layers.gamma_sauve, static_cast<int64_t>(s.layers.fondu) * kFadePerFondu));
  return s.clock.horloge > kFinaleEnd;
}

bool draw_layers(scene::Show& s) {
  const scene::StepFlags& on = s.chain.Party_actif;
  if (on[scene::kOpeningStep]) opening_band(s);
  if (on[scene::kExplosionStep]) scan_lines(s);
  if (on[scene::kForestFlightStep]) {
    cosine_grid(s);
    banner_and_logo(s);
  }
  return on[scene::kFinaleStep] && fade_out(s);
}

}  // namespace quarvel::app
