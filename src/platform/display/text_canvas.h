#pragma once
// The drawing canvas of the back surface: Latin-1 text in a TrueType font
// (DejaVu Sans from fonts-dejavu-core), crisp (not anti-aliased), with a transparent or
// filled background. Font colours are given in the display layer's colour
// encoding, 0x00BBGGRR (so 0xFFFFFF is white).
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/common/picture.h"

namespace quarvel::display {

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
