#pragma once
// The drawing canvas of the back surface: Latin-1 text in a TrueType font
// (DejaVu Sans from fonts-dejavu-core), crisp (not anti-aliased), with a transparent or
// filled background. Font colours are given in the display layer's colour
// encoding, 0x00BBGGRR (so 0xFFFFFF is white).
#include <cstdint>
#include <string>
#include <string_view>

#include <vector>

#include "platform/common/picture.h"
#include "platform/render/surface2d.h"

namespace quarvel::display {

// A line of text laid out for drawing: the inked pixels as a mask over
// `box` (box.w x box.h bytes, rows top first, non-zero = ink), and the
// background rectangle to fill first when the brush is not clear.
struct TextMask {
  render::Rect box;
  std::vector<uint8_t> ink;
  uint32_t ink_argb = 0xFF000000u;
  bool fill_background = false;
  render::Rect background;
  uint32_t background_argb = 0xFF000000u;
  int advance = 0;
};

class TextCanvas {
 public:
  TextCanvas() = default;

  void set_font_colour(uint32_t bgr) { font_colour_ = bgr; }
  void set_font_size(int points) { font_size_ = points; }
  void set_brush_clear(bool clear) { brush_clear_ = clear; }
  void set_brush_colour(uint32_t bgr) { brush_colour_ = bgr; }
  uint32_t font_colour() const { return font_colour_; }
  int font_size() const { return font_size_; }

  // Draws `latin1` (one byte per character) with the top of its line at
  // (x, y). Returns the advance in pixels. Draws nothing when no font could
  // be loaded (a one-line message says why, once).
  int text_out(Picture& dst, int x, int y, std::string_view latin1) const;

  // The same line laid out, for drawing elsewhere (the GPU back surface).
  // Empty (zero advance) when no font could be loaded.
  TextMask layout(int x, int y, std::string_view latin1) const;

  // The pixel height of a line at the current size.
  int line_height() const;

  // True when a font was found and parsed.
  static bool font_available();

 private:
  uint32_t font_colour_ = 0x000000;
  uint32_t brush_colour_ = 0xFFFFFF;
  int font_size_ = 10;
  bool brush_clear_ = true;
};

}  // namespace quarvel::display
