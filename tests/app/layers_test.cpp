// The picture layers and the status overlay, against hand-computed rows,
// columns and rectangles of the back surface.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <locale>
#include <string>
#include <utility>
#include <vector>

#include "app/layers.h"
#include "app/overlay.h"
#include "platform/render/surface2d.h"
#include "scene/helpers.h"
#include "show_fixture.h"

using namespace quarvel;
using quarvel::testing::ShowTest;

namespace {

// A background no layer draws, so every changed pixel is the layer's.
constexpr uint32_t kBack = 0x001F;  // blue

// The layers drawn, read back from the picture.
class Layers : public ShowTest {
 protected:
  explicit Layers(quarvel::testing::Pixels pixels = quarvel::testing::Pixels::Drawn) : ShowTest(pixels) {}
  void SetUp() override { f.DXDraw.fill(kBack); }
  // A read-back of the back surface: take it once per check.
  Picture surface() const { return std::as_const(f.DXDraw).surface(); }
  uint32_t back() const { return render::device_colour_to_argb(kBack); }
  // The rows whose whole width has `argb`, and the rows left untouched.
  std::vector<int> rows_of(uint32_t argb) const {
    std::vector<int> rows;
    const Picture pic = surface();
    for (int y = 0; y < 480; ++y) {
      bool all = true;
      for (int x = 0; x < 640 && all; ++x) all = pic.at(x, y) == argb;
      if (all) rows.push_back(y);
    }
    return rows;
  }
  int changed_pixels() const {
    int n = 0;
    for (uint32_t p : surface().pixels) n += p != back();
    return n;
  }
};

std::vector<int> even_rows(int from, int to) {
  std::vector<int> v;
  for (int y = from; y <= to; y += 2) v.push_back(y);
  return v;
}

// The layers' own state, without the picture.
class LayerState : public Layers {
 protected:
  LayerState() : Layers(quarvel::testing::Pixels::Recorded) {}
};

}  // namespace

TEST_F(Layers, OpeningBandGrowsFromItsEighthStep) {
  const uint32_t band = render::device_colour_to_argb(app::kBandColour);
  s.clock.horloge = 6200.0f;
  s.layers.ecran16_n = 7;
  app::opening_band(s);
  EXPECT_EQ(changed_pixels(), 0);
  s.layers.ecran16_n = 8;  // rows r = 112..128, at y = 2r
  app::opening_band(s);
  EXPECT_EQ(rows_of(band), even_rows(224, 256));
  EXPECT_EQ(rows_of(band).size(), 17u);
  s.layers.ecran16_n = 15;  // r = 0..240: y = 0..478 (480 is below the surface)
  app::opening_band(s);
  EXPECT_EQ(rows_of(band), even_rows(0, 478));
  EXPECT_EQ(rows_of(back()).size(), 240u);  // odd rows untouched
}

TEST_F(Layers, OpeningBandOnlyInsideItsClockWindow) {
  s.layers.ecran16_n = 15;
  s.chain.Party_actif[scene::kOpeningStep] = true;
  for (float h : {6100.0f, 6760.0f, 0.0f}) {
    s.clock.horloge = h;
    EXPECT_FALSE(app::draw_layers(s));
  }
  EXPECT_EQ(changed_pixels(), 0);
  s.clock.horloge = 6759.5f;
  app::draw_layers(s);
  EXPECT_GT(changed_pixels(), 0);
}

TEST_F(Layers, ScanLinesBlackenEveryEvenRow) {
  s.chain.Party_actif[scene::kExplosionStep] = true;
  app::draw_layers(s);
  EXPECT_EQ(rows_of(0xFF000000u), even_rows(0, 478));
  EXPECT_EQ(rows_of(back()).size(), 240u);
}

TEST_F(Layers, CosineGridClosesOnTheCentreAsTheCameraRises) {
  // cam y = 2025: k = cos(90 degrees) ~ 0, every line at the centre.
  s.view.cam_pos.y = 2025.0f;
  app::cosine_grid(s);
  EXPECT_EQ(rows_of(0xFF000000u), std::vector<int>{240});
  for (int y : {0, 239, 479}) {
    EXPECT_EQ(surface().at(320, y), 0xFF000000u);
    EXPECT_EQ(surface().at(319, y), back());
    EXPECT_EQ(surface().at(321, y), back());
  }
  // cam y = 0: k = 1; row nearest(1000 sin(1 deg) + 240) = 257 and column
  // nearest(1000 sin(1 deg) + 320) = 337 are black, row 241 is not.
  f.DXDraw.fill(kBack);
  s.view.cam_pos.y = 0.0f;
  app::cosine_grid(s);
  const std::vector<int> rows = rows_of(0xFF000000u);
  EXPECT_NE(std::find(rows.begin(), rows.end(), 257), rows.end());
  EXPECT_NE(std::find(rows.begin(), rows.end(), 240), rows.end());
  EXPECT_EQ(std::find(rows.begin(), rows.end(), 241), rows.end());
  EXPECT_EQ(surface().at(337, 5), 0xFF000000u);
}

TEST_F(Layers, BannerRisesThenRestsOnTheBottomEdge) {
  const display::ImageItem* banner = f.ImageList.item(5);
  ASSERT_TRUE(banner);
  s.layers.etape_logo = 6;  // the logo sequence is over: only the banner
  for (auto [h, y] : std::vector<std::pair<float, int>>{{100.0f, 430}, {239.0f, 360}, {240.0f, 360}, {900.0f, 360}}) {
    f.DXDraw.fill(kBack);
    s.clock.horloge = h;
    app::banner_and_logo(s);
    Picture expected(640, 480, back());
    render::copy_picture(expected, banner->picture, 0, y, true, render::bgr_to_argb(banner->transparent_colour));
    EXPECT_EQ(surface().pixels, expected.pixels) << "horloge " << h;
  }
}

TEST_F(LayerState, LogoStagesAdvanceOnlyAtTheirDarkestPoint) {
  s.layers.etape_logo = 0;
  s.clock.horloge = 360.0f;  // stage 0 waits for h > 360
  app::banner_and_logo(s);
  EXPECT_EQ(s.layers.etape_logo, 0);
  s.clock.horloge = 400.0f;
  app::banner_and_logo(s);
  EXPECT_EQ(s.layers.etape_logo, 0);
  // h = 530: a(table_sin(265 + 180)) = a(table_sin(189)) < 2, and h > 440.
  EXPECT_LT(app::logo_opacity(scene::table_sin(189)), 2);
  s.clock.horloge = 530.0f;
  app::banner_and_logo(s);
  EXPECT_EQ(s.layers.etape_logo, 1);

  s.layers.etape_logo = 5;
  s.clock.horloge = 1700.0f;
  app::banner_and_logo(s);
  EXPECT_EQ(s.layers.etape_logo, 5);
  s.clock.horloge = 1700.5f;
  app::banner_and_logo(s);
  EXPECT_EQ(s.layers.etape_logo, 6);
  s.clock.horloge = 1800.0f;
  app::banner_and_logo(s);
  EXPECT_EQ(s.layers.etape_logo, 6);
}

TEST(LogoGeometry, OpacityAndSwingingRectangle) {
  EXPECT_EQ(app::logo_opacity(1.0), 253);
  EXPECT_EQ(app::logo_opacity(-1.0), 1);
  EXPECT_EQ(app::logo_opacity(0.0), 127);
  // h = 0: cos 0 = 1, width 640 from x = 0.
  render::Rect r = app::swing_rect(0.0f, 410);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 410);
  EXPECT_EQ(r.w, 640);
  EXPECT_EQ(r.h, 32);
  // h = 90: cos 180 degrees = -1, width 0 at x = 320.
  r = app::swing_rect(90.0f, 385);
  EXPECT_EQ(r.x, 320);
  EXPECT_EQ(r.w, 0);
  // h = 30: cos 60 degrees = 0.5: n = 160, width 480, left 160 - 80 = 80.
  r = app::swing_rect(30.0f, 385);
  EXPECT_EQ(r.x, 80);
  EXPECT_EQ(r.w, 480);
}

TEST_F(LayerState, OverlayLinesTexts) {
  s.clock.fps_affiche = 59;
  s.clock.pas_temps = 0.5f;
  s.clock.horloge = 1234.5f;
  s.controls.light_x = 1.5f;
  s.controls.light_y = -2.0f;
  s.controls.light_z = 0.0f;
  s.controls.light_r = 0.25f;
  s.controls.light_g = 1.0f;
  s.controls.light_b = 0.75f;
  s.view.cam_pos = {10.0f, -20.5f, 300.0f};
  const std::vector<app::OverlayLine> lines = app::overlay_lines(s, -3, 12.34f, 6000u * 7 + 5);
  const std::vector<std::pair<int, std::string>> expected = {
      {0, "FPS: 59 Time : 0.5"},
      {14, "Avelo and Kesrin... and Zebulor"},
      {28, "Pos light : 1.5 -2 0"},
      {42, "Intensit\xE9 light : 0.25 1 0.75"},
      {56, "10 -20.5 300"},
      {84, "Frame :1234.5"},
      {100, "::-3"},
      {120, "0:0:0:0"},
      {140, "CPU : 12.3% : 7"},
      {180, "0:0:0:0nanim : 0 Num0 MainForm count: :0"},
  };
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].y, expected[i].first);
    EXPECT_EQ(lines[i].text, expected[i].second);
  }
  EXPECT_EQ(lines[3].text[8], '\xE9');  // one Latin-1 byte
}

TEST_F(LayerState, OverlayUsesAPointUnderACommaLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
  const char* chosen = nullptr;
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  for (const char* n : names) {
    if (std::setlocale(LC_ALL, n)) {
      chosen = n;
      break;
    }
  }
  if (!chosen) GTEST_SKIP() << "no locale with a decimal comma is installed (Debian: locales-all)";
  ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
  const std::locale old = std::locale::global(std::locale(chosen));
  s.clock.pas_temps = 0.5f;
  s.clock.horloge = 7600.25f;
  s.view.cam_pos = {1.5f, 0, 0};
  const std::vector<app::OverlayLine> lines = app::overlay_lines(s, 0, 2.5f, 0);
  std::locale::global(old);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(lines[0].text, "FPS: 0 Time : 0.5");
  EXPECT_EQ(lines[4].text, "1.5 0 0");
  EXPECT_EQ(lines[5].text, "Frame :7600.25");
  EXPECT_EQ(lines[8].text, "CPU : 2.5% : 0");
}

TEST_F(Layers, OverlayDrawsWhiteTextAtTheTopAndRestoresTheCanvas) {
  if (!display::TextCanvas::font_available()) GTEST_SKIP() << "no font";
  f.DXDraw.fill(0);
  app::draw_overlay(s);
  int white_top = 0, white_below = 0;
  const Picture pic = surface();
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x)
      if (pic.at(x, y) == 0xFFFFFFFFu) (y < 200 ? white_top : white_below)++;
  EXPECT_GT(white_top, 100);
  EXPECT_EQ(white_below, 0);
  EXPECT_EQ(f.DXDraw.canvas().font_colour(), 0u);
  EXPECT_EQ(f.DXDraw.canvas().font_size(), 10);
}
