#include "platform/display/image_list.h"

#include <atomic>
#include <unordered_set>

namespace quarvel::display {

void ImageList::add(Picture picture, uint32_t transparent_colour, bool transparent) {
  static std::atomic<uint64_t> next_id{1};
  items_.push_back({std::move(picture), transparent_colour, transparent, next_id++, 0});
}

ImageItem* ImageList::item(int index) {
  if (index < 0 || index >= count()) return nullptr;
  ImageItem* it = &items_[static_cast<size_t>(index)];
  ++it->revision;
  return it;
}

const ImageItem* ImageList::item(int index) const {
  return index >= 0 && index < count() ? &items_[static_cast<size_t>(index)] : nullptr;
}

void ImageList::rebuild_colour_table() {
  colour_table_.fill(0);
  std::unordered_set<uint32_t> seen;
  size_t n = 0;
  for (const ImageItem& it : items_) {
    for (uint32_t px : it.picture.pixels) {
      if (n == colour_table_.size()) return;
      const uint32_t rgb = px & 0xFFFFFFu;
      if (seen.insert(rgb).second) colour_table_[n++] = rgb;
    }
  }
}

}  // namespace quarvel::display
