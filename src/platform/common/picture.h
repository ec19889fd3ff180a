#pragma once
// A picture in memory: rows top to bottom, each pixel 0xAARRGGBB.
// The display's back surface, the image list's pictures and the textures
// of the scene graph all use it.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quarvel {

struct Picture {
  int width = 0;
  int height = 0;
  int bits = 32;  // bits per pixel of the source it was read from
  std::vector<uint32_t> pixels;

  Picture() = default;
  Picture(int w, int h, uint32_t fill = 0xFF000000u)
      : width(w > 0 ? w : 0), height(h > 0 ? h : 0),
        pixels(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}

  bool empty() const { return width <= 0 || height <= 0; }
  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
};

}  // namespace quarvel
