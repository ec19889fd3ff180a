#pragma once
// Windows bitmap files: 24 bits per pixel, or 8 bits with a palette of the
// picture's own colours (at most 256).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/common/picture.h"

namespace quarvel::assets {

std::vector<uint8_t> encode_bmp24(const Picture& pic);
// Fails (returns an empty vector) when the picture has more than 256 colours.
std::vector<uint8_t> encode_bmp8(const Picture& pic);
// 8 or 24 bits as the picture's `bits` says (anything but 8 gives 24).
std::vector<uint8_t> encode_bmp(const Picture& pic);
// Reduces a picture to at most 256 colours by dropping low bits of each
// channel until it fits (deterministic).
Picture reduce_to_palette(const Picture& pic);

}  // namespace quarvel::assets
