#pragma once
// The image list: the pictures the show draws on the back surface, each with
// its transparent colour (display encoding 0x00BBGGRR) and transparent flag.
#include <array>
#include <cstdint>
#include <vector>

#include "platform/common/picture.h"

namespace quarvel::display {

struct ImageItem {
  Picture picture;
  uint32_t transparent_colour = 0;  // 0x00BBGGRR
  bool transparent = true;
  // Who the picture is (unique in the process) and how often it may have
  // changed: drawing uploads it to the GPU once per revision.
  uint64_t id = 0;
  uint32_t revision = 0;
};

class ImageList {
 public:
  void add(Picture picture, uint32_t transparent_colour = 0, bool transparent = true);
  int count() const { return static_cast<int>(items_.size()); }

  // The item at `index`, or nullptr when the index is outside 0..count-1.
  // Asking for it writable counts as a change of its picture.
  ImageItem* item(int index);
  const ImageItem* item(int index) const;

  // Rebuilds the 256-entry colour table from the pictures: their distinct
  // colours in order of first appearance, black for the rest. It only
  // matters on 8-bit displays, which we never use, but the show asks for it.
  void rebuild_colour_table();
  const std::array<uint32_t, 256>& colour_table() const { return colour_table_; }

 private:
  std::vector<ImageItem> items_;
  std::array<uint32_t, 256> colour_table_{};
};

}  // namespace quarvel::display
