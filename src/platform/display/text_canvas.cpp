#include "platform/display/text_canvas.h"

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace quarvel::display {
namespace {

const char* const kFontPaths[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/TTF/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/freefont/FreeSans.ttf",
};

struct Glyph {
  int x0 = 0, y0 = 0, w = 0, h = 0, advance = 0;
  std::vector<uint8_t> coverage;
};

class Font {
 public:
  static Font& get() {
    static Font font;
    return font;
  }
  bool ok() const { return ok_; }

  // Pixels per em for a size in points at 96 dots per inch.
  static float pixels(int points) { return std::round(points * 96.0f / 72.0f); }

  const Glyph& glyph(int points, unsigned char c) {
    const auto key = std::make_pair(points, c);
    auto it = glyphs_.find(key);
    if (it != glyphs_.end()) return it->second;
    Glyph g;
    const float scale = stbtt_ScaleForMappingEmToPixels(&info_, pixels(points));
    int adv = 0, lsb = 0;
    stbtt_GetCodepointHMetrics(&info_, c, &adv, &lsb);
    g.advance = static_cast<int>(std::lround(adv * scale));
    int x1 = 0, y1 = 0;
    stbtt_GetCodepointBitmapBox(&info_, c, scale, scale, &g.x0, &g.y0, &x1, &y1);
    g.w = x1 - g.x0;
    g.h = y1 - g.y0;
    if (g.w > 0 && g.h > 0) {
      g.coverage.assign(static_cast<size_t>(g.w) * g.h, 0);
      stbtt_MakeCodepointBitmap(&info_, g.coverage.data(), g.w, g.h, g.w, scale, scale, c);
    } else {
      g.w = g.h = 0;
    }
    return glyphs_.emplace(key, std::move(g)).first->second;
  }

  int ascent(int points) const {
    return static_cast<int>(std::lround(ascent_ * stbtt_ScaleForMappingEmToPixels(&info_, pixels(points))));
  }
  int line_height(int points) const {
    const float s = stbtt_ScaleForMappingEmToPixels(&info_, pixels(points));
    return static_cast<int>(std::lround((ascent_ - descent_ + gap_) * s));
  }

 private:
  Font() {
    for (const char* path : kFontPaths) {
      std::ifstream in(path, std::ios::binary);
      if (!in) continue;
      data_.assign(std::istreambuf_iterator<char>(in), {});
      if (!data_.empty() &&
          stbtt_InitFont(&info_, data_.data(), stbtt_GetFontOffsetForIndex(data_.data(), 0))) {
        stbtt_GetFontVMetrics(&info_, &ascent_, &descent_, &gap_);
        ok_ = true;
        return;
      }
    }
    std::fprintf(stderr, "quarvel: no TrueType font found (install fonts-dejavu-core); text is not drawn\n");
  }

  std::vector<unsigned char> data_;
  stbtt_fontinfo info_{};
  int ascent_ = 0, descent_ = 0, gap_ = 0;
  bool ok_ = false;
  std::map<std::pair<int, unsigned char>, Glyph> glyphs_;
};

inline uint32_t bgr_to_rgb(uint32_t bgr) {
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}

}  // namespace

bool TextCanvas::font_available() { return Font::get().ok(); }

int TextCanvas::line_height() const {
  Font& font = Font::get();
  return font.ok() ? font.line_height(font_size_) : 0;
}

TextMask TextCanvas::layout(int x, int y, std::string_view latin1) const {
  TextMask m;
  Font& font = Font::get();
  if (!font.ok() || font_size_ <= 0 || font_size_ > 200) return m;
  m.ink_argb = 0xFF000000u | bgr_to_rgb(font_colour_);
  const int baseline = y + font.ascent(font_size_);
  // First the extent of the inked area, then the ink itself.
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0, pen = x;
  bool any = false;
  for (unsigned char c : latin1) {
    const Glyph& g = font.glyph(font_size_, c);
    if (g.w > 0) {
      const int gx = pen + g.x0, gy = baseline + g.y0;
      x0 = any ? std::min(x0, gx) : gx;
      y0 = any ? std::min(y0, gy) : gy;
      x1 = any ? std::max(x1, gx + g.w) : gx + g.w;
      y1 = any ? std::max(y1, gy + g.h) : gy + g.h;
      any = true;
    }
    pen += g.advance;
  }
  m.advance = pen - x;
  if (!brush_clear_) {
    m.fill_background = true;
    m.background = {x, y, m.advance, font.line_height(font_size_)};
    m.background_argb = 0xFF000000u | bgr_to_rgb(brush_colour_);
  }
  if (!any) return m;
  m.box = {x0, y0, x1 - x0, y1 - y0};
  m.ink.assign(static_cast<size_t>(m.box.w) * m.box.h, 0);
  pen = x;
  for (unsigned char c : latin1) {
    const Glyph& g = font.glyph(font_size_, c);
    for (int gy = 0; gy < g.h; ++gy) {
      const int row = baseline + g.y0 + gy - y0;
      for (int gx = 0; gx < g.w; ++gx) {
        // Crisp pixels, as on the 16-bit displays the show was made for:
        // a pixel is inked when the glyph covers at least half of it.
        if (g.coverage[static_cast<size_t>(gy) * g.w + gx] >= 128)
          m.ink[static_cast<size_t>(row) * m.box.w + (pen + g.x0 + gx - x0)] = 255;
      }
    }
    pen += g.advance;
  }
  return m;
}

int TextCanvas::text_out(Picture& dst, int x, int y, std::string_view latin1) const {
  const TextMask m = layout(x, y, latin1);
  if (m.fill_background) {
    const render::Rect& b = m.background;
    for (int yy = std::max(b.y, 0); yy < std::min(b.y + b.h, dst.height); ++yy)
      for (int xx = std::max(b.x, 0); xx < std::min(b.x + b.w, dst.width); ++xx) dst.at(xx, yy) = m.background_argb;
  }
  for (int my = 0; my < m.box.h; ++my) {
    const int py = m.box.y + my;
    if (py < 0 || py >= dst.height) continue;
    for (int mx = 0; mx < m.box.w; ++mx) {
      const int px = m.box.x + mx;
      if (px >= 0 && px < dst.width && m.ink[static_cast<size_t>(my) * m.box.w + mx]) dst.at(px, py) = m.ink_argb;
    }
  }
  return m.advance;
}

}  // namespace quarvel::display
