#pragma once
// The picture files textures are read from, remembered for as long as the
// scene graph's factory lives: each file is decoded once and its picture
// shared by every texture made of it while any of them lives, and a file
// that cannot be read is reported once (one line on standard error) and not
// tried again. A file is known by where it is, however its path is spelled.
// Given a parse-ahead store, a picture it holds is taken from it instead of
// being decoded again.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/common/picture.h"
#include "platform/retained/object.h"

namespace quarvel::rm {

class ParseAhead;

class TextureFiles {
 public:
  explicit TextureFiles(ParseAhead* ahead = nullptr) : ahead_(ahead) {}

  // The decoded picture of `path`; null when the file cannot be read. A
  // picture whose pixels would take more than `max_bytes` is neither
  // decoded nor reported: null with `too_large` set.
  std::shared_ptr<const Picture> picture(const std::string& path, size_t max_bytes, bool& too_large);

  // A texture named `path` showing that file's picture; null when the file
  // cannot be read.
  std::shared_ptr<Texture> load(const std::string& path);

  // Decoded pictures in memory now.
  size_t pictures() const;

  // Where a file is: the same string for every spelling of its path.
  static std::string key(const std::string& path);

 private:
  std::map<std::string, std::weak_ptr<const Picture>> files_;
  std::set<std::string> failed_;
  ParseAhead* ahead_;
};

// The bytes a picture's pixels take in memory.
inline size_t picture_bytes(const Picture& p) { return p.pixels.size() * sizeof(uint32_t); }

}  // namespace quarvel::rm
