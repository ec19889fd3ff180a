#include "platform/common/picture_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <climits>
#include <cstring>
#include <memory>
#include <vector>

#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STBI_MAX_DIMENSIONS 16384
#define STB_IMAGE_IMPLEMENTATION
#if __has_include(<stb_image.h>)
#include <stb_image.h>
#else
#include <stb/stb_image.h>
#endif

namespace quarvel {

namespace {

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// Bits per pixel as the file stores them; stb only tells the channel count.
int source_bits(const uint8_t* d, size_t size, int channels, const char*& format) {
  if (size >= 30 && d[0] == 'B' && d[1] == 'M') {
    format = "bmp";
    uint32_t header = le32(d + 14);
    if (header == 12 && size >= 26) return le16(d + 24);
    return le16(d + 28);
  }
  if (size >= 26 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0) {
    format = "png";
    int depth = d[24];
    switch (d[25]) {
      case 0: return depth;
      case 2: return depth * 3;
      case 3: return depth;
      case 4: return depth * 2;
      case 6: return depth * 4;
      default: return depth * channels;
    }
  }
  if (size >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) {
    format = "jpeg";
    return channels * 8;
  }
  if (size >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0)) {
    format = "gif";
    return 8;
  }
  if (size >= 4 && std::memcmp(d, "8BPS", 4) == 0) {
    format = "psd";
    return channels * 8;
  }
  if (size >= 2 && d[0] == 'P' && (d[1] == '5' || d[1] == '6')) {
    format = "pnm";
    return channels * 8;
  }
  if (size >= 4 && le32(d) == 0x5380F634u) {
    format = "pic";
    return channels * 8;
  }
  if (size >= 18) {
    format = "tga";
    return d[16];
  }
  format = "picture";
  return channels * 8;
}

// stb reads zeros past the end of a cut bitmap; refuse such files instead.
bool bmp_complete(const uint8_t* d, size_t size, const PictureInfo& info) {
  if (std::strcmp(info.format, "bmp") != 0 || size < 34) return true;
  uint32_t header = le32(d + 14);
  uint32_t compression = header >= 40 ? le32(d + 30) : 0;
  if (compression != 0 && compression != 3) return true;
  uint64_t stride = (static_cast<uint64_t>(info.width) * static_cast<uint64_t>(info.bits) + 31) / 32 * 4;
  return le32(d + 10) + stride * static_cast<uint64_t>(info.height) <= size;
}

// Why a file is not a picture we read: stb's own reason names only the last
// format it tried, so say it in our words.
std::string unreadable_reason(const void* data, size_t size) {
  const uint8_t* d = static_cast<const uint8_t*>(data);
  if (size >= 2 && d[0] == 'B' && d[1] == 'M') {
    return "not a picture this program reads (a bitmap compressed with RLE, or damaged)";
  }
  return "not a picture this program reads (unknown format; BMP, JPEG, PNG and TGA are read)";
}

bool read_whole(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
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

}  // namespace

bool probe_picture(const void* data, size_t size, PictureInfo& info) {
  if (size == 0 || size > 0x7FFFFFFF) return false;
  const uint8_t* d = static_cast<const uint8_t*>(data);
  int w = 0, h = 0, channels = 0;
  if (!stbi_info_from_memory(d, static_cast<int>(size), &w, &h, &channels)) return false;
  // A bitmap stored top row first gives a negative height.
  if (h < 0 && h != INT_MIN) h = -h;
  if (w <= 0 || h <= 0) return false;
  info.width = w;
  info.height = h;
  info.bits = source_bits(d, size, channels, info.format);
  return true;
}

bool decode_picture(const void* data, size_t size, const std::string& name, Picture& out, std::string& error) {
  PictureInfo info;
  if (size == 0) {
    error = name + ": the file is empty";
    return false;
  }
  if (!probe_picture(data, size, info)) {
    error = name + ": " + unreadable_reason(data, size);
    return false;
  }
  if (info.width > kMaxPictureSide || info.height > kMaxPictureSide) {
    error = name + ": the picture is too large (" + std::to_string(info.width) + " x " +
            std::to_string(info.height) + ")";
    return false;
  }
  if (!bmp_complete(static_cast<const uint8_t*>(data), size, info)) {
    error = name + ": the bitmap's pixel data is cut short";
    return false;
  }
  int w = 0, h = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(static_cast<const stbi_uc*>(data), static_cast<int>(size), &w, &h,
                                          &channels, 4);
  if (!pixels) {
    const char* why = stbi_failure_reason();
    error = name + ": cannot decode the " + info.format + " picture (" + (why ? why : "damaged data") + ")";
    return false;
  }
  Picture p;
  p.width = w;
  p.height = h;
  p.bits = info.bits;
  p.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  const stbi_uc* s = pixels;
  for (uint32_t& px : p.pixels) {
    px = uint32_t(s[3]) << 24 | uint32_t(s[0]) << 16 | uint32_t(s[1]) << 8 | uint32_t(s[2]);
    s += 4;
  }
  stbi_image_free(pixels);
  out = std::move(p);
  return true;
}

bool load_picture(const std::string& path, Picture& out, std::string& error) {
  std::vector<uint8_t> data;
  if (!read_whole(path, data, error)) return false;
  return decode_picture(data.data(), data.size(), path, out, error);
}

bool load_picture_info(const std::string& path, PictureInfo& info, std::string& error) {
  std::vector<uint8_t> data;
  if (!read_whole(path, data, error)) return false;
  if (data.empty()) {
    error = path + ": the file is empty";
    return false;
  }
  if (!probe_picture(data.data(), data.size(), info)) {
    error = path + ": " + unreadable_reason(data.data(), data.size());
    return false;
  }
  return true;
}

}  // namespace quarvel
