#pragma once
// The 2D drawing operations on the back surface (a quarvel::Picture whose
// pixels are 0xFFRRGGBB). Everything is clipped to the destination; empty
// or negative rectangles draw nothing.
#include <cstdint>

#include "platform/common/picture.h"

namespace quarvel::render {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// A raw device colour: its low 16 bits read as RGB565, expanded to 8 bits a
// channel by repeating the top bits (so 0xFFFF gives pure white).
uint32_t device_colour_to_argb(uint32_t raw);

// A colour in the display layer's encoding (0x00BBGGRR, as the show gives
// transparent colours) turned into 0xFFRRGGBB.
uint32_t bgr_to_argb(uint32_t bgr);

void fill_rect(Picture& dst, Rect r, uint32_t raw);
void fill(Picture& dst, uint32_t raw);

// Copies `src` with its top-left corner at (x, y). When `transparent` is set,
// source pixels whose RGB equals `key_argb`'s RGB are skipped.
void copy_picture(Picture& dst, const Picture& src, int x, int y, bool transparent, uint32_t key_argb);

// Draws `src` stretched into `r` (nearest sample), mixed into what is there
// in proportion to `opacity` (0..255): out = (src * a + dst * (255 - a) + 127) / 255.
// An opacity of 0 or below draws nothing; 255 or above is a plain copy.
// Keyed pixels are skipped when `transparent` is set.
void blend_stretched(Picture& dst, const Picture& src, Rect r, int opacity, bool transparent,
                     uint32_t key_argb);

}  // namespace quarvel::render
