#pragma once
// Picture files: BMP (1, 4, 8, 24 and 32 bits), JPEG, PNG and TGA, decoded
// into a Picture whose `bits` tells how many bits per pixel the file used.
#include <cstddef>
#include <string>

#include "platform/common/picture.h"

namespace quarvel {

struct PictureInfo {
  int width = 0;
  int height = 0;
  int bits = 0;            // bits per pixel of the file
  const char* format = ""; // "bmp", "jpeg", "png", "tga", or another format the decoder knows
};

// Reads the header only. False when the data is no picture this decoder knows.
bool probe_picture(const void* data, size_t size, PictureInfo& info);

// Decodes a whole picture. On failure `out` is left as it was and `error`
// holds one line: the name, then what is wrong.
bool decode_picture(const void* data, size_t size, const std::string& name, Picture& out, std::string& error);

bool load_picture(const std::string& path, Picture& out, std::string& error);
bool load_picture_info(const std::string& path, PictureInfo& info, std::string& error);

// Largest picture accepted, in pixels on a side.
constexpr int kMaxPictureSide = 16384;

}  // namespace quarvel
