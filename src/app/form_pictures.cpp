#include "app/form_pictures.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb_easy_font.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cmath>

namespace quarvel {

namespace {

constexpr uint32_t opaque(uint32_t rgb) { return 0xFF000000u | (rgb & 0xFFFFFFu); }

// One font quad, in font pixels.
struct Quad {
  int x0, y0, x1, y1;
};

std::vector<Quad> layout(const std::string& text) {
  std::string safe;
  for (char c : text) safe += (c >= 32 && c < 127) || c == '\n' ? c : '?';
  std::vector<char> buf(safe.size() * 64 * 16 + 64);
  int n = stb_easy_font_print(0, 0, safe.data(), nullptr, buf.data(), static_cast<int>(buf.size()));
  std::vector<Quad> quads;
  quads.reserve(static_cast<size_t>(n));
  for (int q = 0; q < n; ++q) {
    const float* v = reinterpret_cast<const float*>(buf.data() + q * 64);
    // Vertices 0 and 2 are opposite corners (4 floats of 16 bytes each).
    float x0 = v[0], y0 = v[1], x1 = v[8], y1 = v[9];
    quads.push_back({static_cast<int>(std::lround(std::min(x0, x1))),
                     static_cast<int>(std::lround(std::min(y0, y1))),
                     static_cast<int>(std::lround(std::max(x0, x1))),
                     static_cast<int>(std::lround(std::max(y0, y1)))});
  }
  return quads;
}

void fill_rect(Picture& p, int x0, int y0, int x1, int y1, uint32_t argb) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, p.width);
  y1 = std::min(y1, p.height);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) p.at(x, y) = argb;
}

// Text whose colour follows the row: `colour_of_row(y)` for picture row y.
template <typename F>
void draw_text_rows(Picture& pic, int x, int y, const std::string& text, int scale, F colour_of_row) {
  for (const Quad& q : layout(text)) {
    for (int py = y + q.y0 * scale; py < y + q.y1 * scale; ++py) {
      if (py < 0 || py >= pic.height) continue;
      uint32_t c = colour_of_row(py);
      for (int px = x + q.x0 * scale; px < x + q.x1 * scale; ++px)
        if (px >= 0 && px < pic.width) pic.at(px, py) = c;
    }
  }
}

void outline_rows(Picture& pic, int x, int y, const std::string& text, int scale, uint32_t outline) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (dx || dy) draw_text(pic, x + dx * std::max(1, scale / 2), y + dy * std::max(1, scale / 2),
                              text, scale, outline);
}

uint32_t mix(uint32_t a, uint32_t b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  auto ch = [&](int s) {
    float va = static_cast<float>((a >> s) & 0xFF), vb = static_cast<float>((b >> s) & 0xFF);
    return static_cast<uint32_t>(std::lround(va + (vb - va) * t)) << s;
  };
  return 0xFF000000u | ch(16) | ch(8) | ch(0);
}

// Bold text: the font's strokes widened by `bold` pixels to the right and
// downwards, so that the letters survive being squeezed to a fraction of
// their width or height. `colour_of_row` as for draw_text_rows.
template <typename F>
void draw_bold_rows(Picture& pic, int x, int y, const std::string& text, int scale, int bold, F colour_of_row) {
  for (int dy = 0; dy <= bold; ++dy)
    for (int dx = 0; dx <= bold; ++dx) draw_text_rows(pic, x + dx, y + dy, text, scale, colour_of_row);
}

// A logo: centred bold text on the magenta key colour, with a dark outline
// two pixels wide all round.
Picture logo(const std::string& text, int scale, int bits, uint32_t fill, uint32_t outline,
             uint32_t fill_bottom = 0, bool rules = false) {
  Picture p(227, 40, opaque(kLogoTransparent));
  p.bits = bits;
  const int bold = scale;
  int w = text_width(text, scale) + bold;
  while (w > 219 && scale > 1) w = text_width(text, --scale) + bold;
  int h = text_height(scale) + bold;
  int x = (227 - w) / 2, y = (40 - h) / 2;
  if (rules) {
    // Rules above and below, kept off the picture's edges (its corners
    // show the key colour).
    const int x0 = std::max(3, x - 6), x1 = std::min(224, x + w + 6);
    fill_rect(p, x0, std::max(2, y - 5), x1, y - 3, opaque(outline));
    fill_rect(p, x0, y + h + 2, x1, std::min(38, y + h + 4), opaque(outline));
  }
  draw_bold_rows(p, x - 2, y - 2, text, scale, bold + 4, [&](int) { return opaque(outline); });
  if (bits == 24 && fill_bottom != 0) {
    draw_bold_rows(p, x, y, text, scale, bold, [&](int row) {
      return mix(opaque(fill), opaque(fill_bottom), static_cast<float>(row - y) / std::max(1, h));
    });
  } else {
    draw_bold_rows(p, x, y, text, scale, bold, [&](int) { return opaque(fill); });
  }
  return p;
}

// The banner of the forest flight. Its rows 25 to 84 lie under the logos
// that swing over it, so they hold a plain plate and no lettering; the
// lettering sits on a tab above them.
Picture banner() {
  Picture p(640, 120, opaque(kBlackTransparent));
  p.bits = 8;
  const uint32_t plate = opaque(0x123A1C), edge = opaque(0xE8C050), shade = opaque(0x1E5A2C);
  // The tab: a gold-rimmed strip along the top edge, as wide as its text.
  const std::string title = "QUARVEL TEAM", sub = "  a flight through the forest";
  const int tw = text_width(title, 2), sw = text_width(sub, 2);
  const int tx = (640 - tw - sw) / 2, ty = 5;
  for (int y = 1; y < 25; ++y)
    for (int x = tx - 14; x < tx + tw + sw + 14; ++x) {
      bool rim = y < 3 || x < tx - 11 || x >= tx + tw + sw + 11;
      p.at(x, y) = rim ? edge : plate;
    }
  // The plate with slanted ends and a gold rim: plain where the logos pass,
  // a checker band below them.
  for (int y = 24; y < 112; ++y) {
    int inset = (y < 68) ? (68 - y) / 2 : (y - 68) / 2;
    for (int x = 30 + inset; x < 610 - inset; ++x) {
      bool rim = y < 27 || y >= 109 || x < 33 + inset || x >= 607 - inset;
      bool checker = y >= 88 && (x / 4 + y / 4) % 2;
      p.at(x, y) = rim ? edge : (checker ? shade : plate);
    }
  }
  draw_text_outlined(p, tx, ty, title, 2, opaque(0xF4E6A0), opaque(0x08200E));
  draw_text(p, tx + tw, ty, sub, 2, opaque(0xA8E0A0));
  // Diamonds on both sides.
  for (int side = 0; side < 2; ++side) {
    int cx = side == 0 ? 70 : 570, cy = 68;
    for (int dy = -14; dy <= 14; ++dy)
      for (int dx = -14 + std::abs(dy); dx <= 14 - std::abs(dy); ++dx)
        p.at(cx + dx, cy + dy) = std::abs(dx) + std::abs(dy) > 11 ? edge : opaque(0x60C070);
  }
  return p;
}

Picture loading() {
  Picture p(160, 35, opaque(kBlackTransparent));
  p.bits = 8;
  const uint32_t frame = opaque(0x6080FF);
  fill_rect(p, 1, 1, 159, 2, frame);
  fill_rect(p, 1, 33, 159, 34, frame);
  fill_rect(p, 1, 1, 2, 34, frame);
  fill_rect(p, 158, 1, 159, 34, frame);
  const std::string text = "Chargement...";
  int w = text_width(text, 2);
  draw_text(p, (160 - w) / 2, 6, text, 2, opaque(0xFFFFFF));
  for (int i = 0; i < 10; ++i) fill_rect(p, 12 + i * 14, 26, 22 + i * 14, 30, opaque(0x40A0FF));
  return p;
}

}  // namespace

int text_width(const std::string& text, int scale) {
  std::string safe;
  for (char c : text) safe += (c >= 32 && c < 127) || c == '\n' ? c : '?';
  return stb_easy_font_width(safe.data()) * scale;
}

int text_height(int scale) { return 9 * scale; }

void draw_text(Picture& pic, int x, int y, const std::string& text, int scale, uint32_t argb) {
  draw_text_rows(pic, x, y, text, scale, [argb](int) { return argb; });
}

void draw_text_outlined(Picture& pic, int x, int y, const std::string& text, int scale,
                        uint32_t argb, uint32_t outline) {
  outline_rows(pic, x, y, text, scale, outline);
  draw_text(pic, x, y, text, scale, argb);
}

std::vector<Picture> make_form_pictures() {
  std::vector<Picture> pics;
  pics.push_back(logo("Quarvel Team", 3, 8, 0xF0C040, 0x301848, 0, true));
  pics.push_back(logo("presents", 3, 8, 0xFFFFFF, 0x203060));
  pics.push_back(logo("QUARVEL", 4, 24, 0xFFF0A0, 0x401010, 0xE04010));
  pics.push_back(logo("Avelo and Kesrin...", 2, 8, 0x80E0FF, 0x102040));
  pics.push_back(logo("... and Zebulor", 2, 24, 0xFFFFFF, 0x102040, 0x60A0FF));
  pics.push_back(banner());
  pics.push_back(loading());
  pics.push_back(logo("greetings to all", 2, 8, 0x80F080, 0x103010));
  pics.push_back(logo("see you next time", 2, 8, 0xF0C040, 0x301010));
  return pics;
}

}  // namespace quarvel
