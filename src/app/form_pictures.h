#pragma once
// The nine pictures of the main form's image list (logos, banner, loading
// picture), drawn by code at start-up so that the program needs no picture
// files for them.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/common/picture.h"

namespace quarvel {

// Transparent colours of the image list's pictures as drawn (0xRRGGBB): the
// logos' key, 0xF600FF in the display's 0x00BBGGRR encoding, is red 255,
// green 0, blue 246.
constexpr uint32_t kLogoTransparent = 0xFF00F6u;
constexpr uint32_t kBlackTransparent = 0x000000u;

// Pictures 0..8: sizes, depths (Picture::bits) and transparent colours of the
// image list; transparent areas hold exactly the picture's transparent colour
// (with alpha 0xFF).
std::vector<Picture> make_form_pictures();

// Text in a small built-in bitmap font (printable ASCII), each font pixel drawn
// as a `scale` x `scale` block with its top-left corner at (x, y). Pixels
// outside the picture are skipped.
void draw_text(Picture& pic, int x, int y, const std::string& text, int scale, uint32_t argb);
// Text with a one-font-pixel outline in `outline`.
void draw_text_outlined(Picture& pic, int x, int y, const std::string& text, int scale,
                        uint32_t argb, uint32_t outline);
int text_width(const std::string& text, int scale);
int text_height(int scale);

}  // namespace quarvel
