#pragma once
// Picture files: BMP (1, 4, 8, 16, 24 and 32 bits), JPEG, PNG and TGA, decoded
// into a Picture whose `bits` tells how many bits per pixel the file used.
// Other formats are refused, and so is a picture larger than kMaxPictureSide
// on a side, before any pixel is decoded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/common/picture.h"

namespace quarvel {

struct PictureInfo {
  int width = 0;
  int height = 0;
  int bits = 0;            // bits per pixel of the file
  const char* format = ""; // "bmp", "jpeg", "png" or "tga"
};

// Reads the header only. False when the data is no picture this decoder
// reads, or its header is damaged or cut. The size is not checked here.
bool probe_picture(const void* data, size_t size, PictureInfo& info);

// Decodes a whole picture. On failure `out` is left as it was and `error`
// holds one line: the name, then what is wrong.
bool decode_picture(const void* data, size_t size, const std::string& name, Picture& out, std::string& error);

// The whole file's bytes (at most 256 MB), for probe_picture and
// decode_picture; on failure one line naming the file.
bool read_picture_file(const std::string& path, std::vector<uint8_t>& data, std::string& error);

bool load_picture(const std::string& path, Picture& out, std::string& error);
bool load_picture_info(const std::string& path, PictureInfo& info, std::string& error);

// Largest picture accepted, in pixels on a side: more than any texture or
// screen of the show needs, and at most 64 MB of pixels.
constexpr int kMaxPictureSide = 4096;

}  // namespace quarvel
