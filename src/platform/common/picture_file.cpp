#include "platform/common/picture_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/common/picture_formats.h"

namespace quarvel {

namespace {

using namespace picture_formats;

enum class Format { unknown, bmp, jpeg, png, tga };

Format sniff(const uint8_t* d, size_t n) {
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') return Format::bmp;
  if (n >= 2 && d[0] == 0xFF && d[1] == 0xD8) return Format::jpeg;
  if (n >= 4 && std::memcmp(d, kPngSignature, std::min<size_t>(n, 8)) == 0) return Format::png;
  if (is_tga(d, n)) return Format::tga;
  return Format::unknown;
}

bool read_header(const uint8_t* d, size_t n, Format format, PictureInfo& info, std::string& why) {
  switch (format) {
    case Format::bmp: return read_bmp_header(d, n, info, why);
    case Format::jpeg: return read_jpeg_header(d, n, info, why);
    case Format::png: return read_png_header(d, n, info, why);
    case Format::tga: return read_tga_header(d, n, info, why);
    case Format::unknown: break;
  }
  why = kUnknownFormat;
  return false;
}

}  // namespace

bool read_picture_file(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    error = path + ": cannot open the file (" + std::strerror(errno) + ")";
    return false;
  }
  constexpr size_t kMaxBytes = size_t{256} << 20;
  uint8_t chunk[65536];
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
    if (n == 0) break;
    if (data.size() + n > kMaxBytes) {
      error = path + ": the file is larger than 256 MB";
      return false;
    }
    data.insert(data.end(), chunk, chunk + n);
  }
  if (std::ferror(f.get())) {
    error = path + ": cannot read the file";
    return false;
  }
  return true;
}

bool probe_picture(const void* data, size_t size, PictureInfo& info) {
  const uint8_t* d = static_cast<const uint8_t*>(data);
  PictureInfo found;
  std::string why;
  if (!read_header(d, size, sniff(d, size), found, why)) return false;
  info = found;
  return true;
}

bool decode_picture(const void* data, size_t size, const std::string& name, Picture& out, std::string& error) {
  if (size == 0) {
    error = name + ": the file is empty";
    return false;
  }
  const uint8_t* d = static_cast<const uint8_t*>(data);
  const Format format = sniff(d, size);
  PictureInfo info;
  std::string why;
  if (!read_header(d, size, format, info, why)) {
    error = name + ": " + why;
    return false;
  }
  if (info.width > kMaxPictureSide || info.height > kMaxPictureSide) {
    error = name + ": picture too large: " + std::to_string(info.width) + " x " + std::to_string(info.height) +
            " (at most " + std::to_string(kMaxPictureSide) + " x " + std::to_string(kMaxPictureSide) + ")";
    return false;
  }
  Picture p;
  p.width = info.width;
  p.height = info.height;
  p.bits = info.bits;
  bool ok = false;
  switch (format) {
    case Format::bmp: ok = decode_bmp(d, size, p, why); break;
    case Format::tga: ok = decode_tga(d, size, p, why); break;
    case Format::jpeg:
      p.pixels.assign(static_cast<size_t>(p.width) * static_cast<size_t>(p.height), kOpaqueBlack);
      ok = decode_jpeg(d, size, p, why);
      break;
    case Format::png:
      p.pixels.assign(static_cast<size_t>(p.width) * static_cast<size_t>(p.height), kOpaqueBlack);
      ok = decode_png(d, size, p, why);
      break;
    case Format::unknown: why = kUnknownFormat; break;
  }
  if (!ok) {
    error = name + ": " + why;
    return false;
  }
  out = std::move(p);
  return true;
}

bool load_picture(const std::string& path, Picture& out, std::string& error) {
  std::vector<uint8_t> data;
  if (!read_picture_file(path, data, error)) return false;
  return decode_picture(data.data(), data.size(), path, out, error);
}

bool load_picture_info(const std::string& path, PictureInfo& info, std::string& error) {
  std::vector<uint8_t> data;
  if (!read_picture_file(path, data, error)) return false;
  if (data.empty()) {
    error = path + ": the file is empty";
    return false;
  }
  const Format format = sniff(data.data(), data.size());
  std::string why;
  if (!read_header(data.data(), data.size(), format, info, why)) {
    error = path + ": " + why;
    return false;
  }
  return true;
}

}  // namespace quarvel
