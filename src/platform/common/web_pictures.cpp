#include "platform/common/web_pictures.h"

#include <map>
#include <utility>

namespace quarvel::web {
namespace {

// 64-bit FNV-1a of the bytes with their length: the key of a file's pixels.
std::pair<uint64_t, size_t> key_of(const uint8_t* data, size_t size) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return {h, size};
}

std::map<std::pair<uint64_t, size_t>, Picture>& decoded() {
  static std::map<std::pair<uint64_t, size_t>, Picture> pictures;
  return pictures;
}

}  // namespace

void add_decoded_picture(const uint8_t* data, size_t size, Picture picture) {
  decoded()[key_of(data, size)] = std::move(picture);
}

bool decoded_picture(const uint8_t* data, size_t size, Picture& p, std::string& why) {
  const auto it = decoded().find(key_of(data, size));
  if (it == decoded().end()) {
    why = "the browser could not decode it";
    return false;
  }
  if (it->second.width != p.width || it->second.height != p.height) {
    why = "the browser decoded it at another size";
    return false;
  }
  p.pixels = it->second.pixels;
  return true;
}

}  // namespace quarvel::web
