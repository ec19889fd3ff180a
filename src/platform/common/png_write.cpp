#include "platform/common/png_write.h"

#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace quarvel {

bool write_png(const std::string& path, const Picture& picture, std::string* error) {
  if (picture.empty()) {
    if (error) *error = path + ": empty picture";
    return false;
  }
  std::vector<unsigned char> rgb(static_cast<size_t>(picture.width) * picture.height * 3);
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    const uint32_t px = picture.pixels[i];
    rgb[i * 3 + 0] = static_cast<unsigned char>(px >> 16);
    rgb[i * 3 + 1] = static_cast<unsigned char>(px >> 8);
    rgb[i * 3 + 2] = static_cast<unsigned char>(px);
  }
  errno = 0;
  if (!stbi_write_png(path.c_str(), picture.width, picture.height, 3, rgb.data(), picture.width * 3)) {
    if (error) *error = path + ": cannot write PNG" + (errno ? std::string(" (") + std::strerror(errno) + ")" : "");
    return false;
  }
  return true;
}

}  // namespace quarvel
