#include "platform/display/text_canvas.h"

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

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

int TextCanvas::text_out(Picture& dst, int x, int y, std::string_view latin1) const {
  Font& font = Font::get();
  if (!font.ok() || font_size_ <= 0 || font_size_ > 200) return 0;
  const uint32_t rgb = bgr_to_rgb(font_colour_);
  const int baseline = y + font.ascent(font_size_);
  int pen = x;
  if (!brush_clear_) {
    int width = 0;
    for (unsigned char c : latin1) width += font.glyph(font_size_, c).advance;
    const uint32_t bg = 0xFF000000u | bgr_to_rgb(brush_colour_);
    const int h = font.line_height(font_size_);
    for (int yy = std::max(y, 0); yy < std::min(y + h, dst.height); ++yy)
      for (int xx = std::max(x, 0); xx < std::min(x + width, dst.width); ++xx) dst.at(xx, yy) = bg;
  }
  for (unsigned char c : latin1) {
    const Glyph& g = font.glyph(font_size_, c);
    for (int gy = 0; gy < g.h; ++gy) {
      const int py = baseline + g.y0 + gy;
      if (py < 0 || py >= dst.height) continue;
      for (int gx = 0; gx < g.w; ++gx) {
        const int px = pen + g.x0 + gx;
        if (px < 0 || px >= dst.width) continue;
        // Crisp pixels, as on the 16-bit displays the show was made for:
        // a pixel is inked when the glyph covers at least half of it.
        if (g.coverage[static_cast<size_t>(gy) * g.w + gx] >= 128) dst.at(px, py) = 0xFF000000u | rgb;
      }
    }
    pen += g.advance;
  }
  return pen - x;
}

}  // namespace quarvel::display
