#pragma once
// The looks the presentation can give the same picture:
// - sharp: the back surface as it is (the default);
// - original: as a 16-bit (5-6-5) display of the time showed it, colours
//   between two of its levels ordered-dithered (4 x 4) as its cards did;
// - smooth: the 3D drawn at the size the picture has on the screen, with
//   4x multisampling and mipmapped, anisotropic textures, and the 2D
//   layers scaled over it.
// The gamma ramp is applied after the look, in every look.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarvel::render {

enum class Look { Sharp, Original, Smooth };

inline constexpr std::array<Look, 3> kLooks = {Look::Sharp, Look::Original, Look::Smooth};

// "sharp", "original", "smooth".
const char* look_name(Look look);
// The look of that name; none for another name.
std::optional<Look> look_from_name(std::string_view name);
// "sharp, original or smooth", for messages.
std::string look_names();
// The look after `look`, back to the first after the last.
Look next_look(Look look);

// The 4 x 4 ordered-dither threshold at picture pixel (x, y) (row 0 at the
// top): 0..15, each once in every 4 x 4 block.
int dither_threshold(int x, int y);

// What the original look shows for an 8-bit channel value `c` on a channel
// of `bits` bits (5 or 6) at threshold `t`: a level of that channel widened
// back to 8 bits. A value that is such a level already stays as it is;
// one between two levels takes the upper one when its place between them
// is above the threshold, so that a block of it averages to the value.
uint8_t dither_channel(int c, int bits, int t);

// A whole 0xAARRGGBB pixel at (x, y) in the original look (alpha kept).
uint32_t dither_565(uint32_t argb, int x, int y);

}  // namespace quarvel::render
