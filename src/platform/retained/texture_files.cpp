#include "platform/retained/texture_files.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/common/picture_file.h"
#include "platform/retained/parse_ahead.h"

namespace quarvel::rm {

std::string TextureFiles::key(const std::string& path) {
  std::error_code ec;
  std::filesystem::path where = std::filesystem::weakly_canonical(path, ec);
  if (ec) where = std::filesystem::absolute(path, ec).lexically_normal();
  return ec ? path : where.string();
}

std::shared_ptr<const Picture> TextureFiles::picture(const std::string& path, size_t max_bytes, bool& too_large) {
  too_large = false;
  const std::string where = key(path);
  if (failed_.count(where)) return nullptr;
  std::weak_ptr<const Picture>& kept = files_[where];
  if (auto shared = kept.lock()) {
    too_large = picture_bytes(*shared) > max_bytes;
    return too_large ? nullptr : shared;
  }
  if (auto ready = ahead_ ? ahead_->picture(path) : nullptr) {
    too_large = picture_bytes(*ready) > max_bytes;
    if (too_large) {
      files_.erase(where);
      return nullptr;
    }
    kept = ready;
    return ready;
  }
  std::vector<uint8_t> data;
  std::string error;
  Picture decoded;
  bool ok = read_picture_file(path, data, error);
  if (ok) {
    PictureInfo info;
    too_large = probe_picture(data.data(), data.size(), info) &&
                static_cast<size_t>(info.width) * static_cast<size_t>(info.height) > max_bytes / sizeof(uint32_t);
    if (too_large) {
      files_.erase(where);
      return nullptr;
    }
    ok = decode_picture(data.data(), data.size(), path, decoded, error);
  }
  if (!ok) {
    std::fprintf(stderr, "%s\n", error.c_str());
    failed_.insert(where);
    files_.erase(where);
    return nullptr;
  }
  auto shared = std::make_shared<const Picture>(std::move(decoded));
  kept = shared;
  return shared;
}

std::shared_ptr<Texture> TextureFiles::load(const std::string& path) {
  bool too_large = false;
  auto shared = picture(path, SIZE_MAX, too_large);
  if (!shared) return nullptr;
  auto texture = std::make_shared<Texture>(std::move(shared));
  texture->set_name(path);
  return texture;
}

size_t TextureFiles::pictures() const {
  size_t n = 0;
  for (const auto& [where, kept] : files_) n += !kept.expired();
  return n;
}

}  // namespace quarvel::rm
