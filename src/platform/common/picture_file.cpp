#include "platform/common/picture_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#ifdef __EMSCRIPTEN__
#include "platform/common/web_pictures.h"
#else
#include <jpeglib.h>
#include <jerror.h>
#include <png.h>
#endif

namespace quarvel {

namespace {

constexpr const char* kUnknownFormat =
    "not a picture this program reads (unknown format; BMP, JPEG, PNG and TGA are read)";
constexpr const char* kCutHeader = "the file ends inside the header";
constexpr const char* kCutPixels = "the file ends inside the pixel data";

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

// A 5-bit channel widened to 8 bits, as 0 -> 0 and 31 -> 255.
uint32_t widen5(uint32_t v) { return v << 3 | v >> 2; }

// Sets the reason a file is refused; for `return fail(why, "...")`.
bool fail(std::string& why, std::string reason) {
  why = std::move(reason);
  return false;
}

// ---------------------------------------------------------------- BMP

struct BmpLayout {
  uint32_t header = 0;  // size of the info header
  int width = 0, height = 0;
  bool top_down = false;
  int bits = 0;
  uint32_t compression = 0;
  uint32_t masks[4] = {};  // red, green, blue, alpha for 16 and 32 bits
  size_t palette_at = 0, palette_entries = 0, palette_entry_size = 4;
  size_t pixels_at = 0;
};

bool read_bmp_layout(const uint8_t* d, size_t n, BmpLayout& l, std::string& why) {
  if (n < 18) return fail(why, kCutHeader);
  l.header = le32(d + 14);
  if (l.header != 12 && (l.header < 40 || l.header > 1024)) {
    return fail(why, "damaged bitmap header (" + std::to_string(l.header) + "-byte info header)");
  }
  if (n < 14 + size_t{l.header}) return fail(why, kCutHeader);
  uint16_t planes = 0;
  if (l.header == 12) {
    l.width = le16(d + 18);
    l.height = le16(d + 20);
    planes = le16(d + 22);
    l.bits = le16(d + 24);
    l.palette_entry_size = 3;
  } else {
    const int32_t w = static_cast<int32_t>(le32(d + 18));
    const int32_t h = static_cast<int32_t>(le32(d + 22));
    if (w <= 0 || h == 0 || h == INT32_MIN) return fail(why, "damaged bitmap header (no size)");
    l.width = w;
    l.top_down = h < 0;
    l.height = h < 0 ? -h : h;
    planes = le16(d + 26);
    l.bits = le16(d + 28);
    l.compression = le32(d + 30);
    l.palette_entries = le32(d + 46);
  }
  if (l.width <= 0 || l.height <= 0 || planes != 1) return fail(why, "damaged bitmap header");
  if (l.compression == 1 || l.compression == 2) {
    return fail(why, "a bitmap compressed with RLE is not read");
  }
  if (l.compression != 0 && l.compression != 3) {
    return fail(why, "unknown bitmap compression (" + std::to_string(l.compression) + ")");
  }
  switch (l.bits) {
    case 1: case 4: case 8: case 24:
      if (l.compression != 0) return fail(why, "damaged bitmap header (bit fields on a " + std::to_string(l.bits) +
                                           "-bit bitmap)");
      break;
    case 16: case 32: break;
    default: return fail(why, "a bitmap of " + std::to_string(l.bits) + " bits per pixel is not read");
  }
  l.palette_at = 14 + size_t{l.header};
  if (l.bits == 16 || l.bits == 32) {
    if (l.compression == 0) {
      if (l.bits == 16) {
        l.masks[0] = 0x7C00, l.masks[1] = 0x03E0, l.masks[2] = 0x001F;
      } else {
        l.masks[0] = 0xFF0000, l.masks[1] = 0xFF00, l.masks[2] = 0xFF, l.masks[3] = 0xFF000000u;
      }
    } else {
      // The masks follow a short header, or are part of a longer one.
      const size_t masks_at = l.header >= 52 ? 54 : 14 + size_t{l.header};
      if (masks_at == l.palette_at) l.palette_at += 12;
      if (n < l.palette_at) return fail(why, kCutHeader);
      for (int i = 0; i < 3; ++i) l.masks[i] = le32(d + masks_at + 4 * i);
      if (l.header >= 56) l.masks[3] = le32(d + 66);
    }
  }
  const size_t palette_max = l.bits <= 8 ? size_t{1} << l.bits : 0;
  if (l.palette_entries == 0 || l.palette_entries > palette_max) l.palette_entries = palette_max;
  l.pixels_at = le32(d + 10);
  if (l.pixels_at < l.palette_at) return fail(why, "damaged bitmap header (pixel data inside the header)");
  // Only the colours stored before the pixels count.
  l.palette_entries = std::min(l.palette_entries, (l.pixels_at - l.palette_at) / l.palette_entry_size);
  if (l.pixels_at > n) return fail(why, kCutPixels);
  return true;
}

// One channel of a 16- or 32-bit pixel, widened or narrowed to 8 bits.
uint32_t bmp_channel(uint32_t v, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int width = std::popcount(mask);
  const uint64_t x = (v & mask) >> shift;
  const uint64_t max = (uint64_t{1} << width) - 1;
  return static_cast<uint32_t>(std::min<uint64_t>(255, (x * 255 + max / 2) / max));
}

bool decode_bmp(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  BmpLayout l;
  if (!read_bmp_layout(d, n, l, why)) return false;
  const size_t stride = (static_cast<size_t>(l.width) * static_cast<size_t>(l.bits) + 31) / 32 * 4;
  if (stride * static_cast<size_t>(l.height) > n - l.pixels_at) return fail(why, kCutPixels);
  std::vector<uint32_t> palette(l.palette_entries);
  for (size_t i = 0; i < palette.size(); ++i) {
    const uint8_t* c = d + l.palette_at + i * l.palette_entry_size;
    palette[i] = argb(0xFF, c[2], c[1], c[0]);
  }
  p.pixels.assign(static_cast<size_t>(l.width) * static_cast<size_t>(l.height), kOpaqueBlack);
  bool any_alpha = false;
  for (int row = 0; row < l.height; ++row) {
    const uint8_t* s = d + l.pixels_at + static_cast<size_t>(row) * stride;
    uint32_t* o = &p.pixels[static_cast<size_t>(l.top_down ? row : l.height - 1 - row) * l.width];
    for (int x = 0; x < l.width; ++x) {
      if (l.bits <= 8) {
        const int bit = x * l.bits;
        const uint32_t index = (s[bit / 8] >> (8 - l.bits - bit % 8)) & ((1u << l.bits) - 1);
        o[x] = index < palette.size() ? palette[index] : kOpaqueBlack;
      } else if (l.bits == 24) {
        o[x] = argb(0xFF, s[3 * x + 2], s[3 * x + 1], s[3 * x]);
      } else {
        const uint32_t v = l.bits == 16 ? le16(s + 2 * x) : le32(s + 4 * x);
        const uint32_t a = bmp_channel(v, l.masks[3]);
        any_alpha |= a != 0;
        o[x] = argb(a, bmp_channel(v, l.masks[0]), bmp_channel(v, l.masks[1]), bmp_channel(v, l.masks[2]));
      }
    }
  }
  // Many writers leave the fourth byte zero: such a picture is opaque.
  if ((l.bits == 16 || l.bits == 32) && !any_alpha) {
    for (uint32_t& px : p.pixels) px |= kOpaqueBlack;
  }
  return true;
}

// ---------------------------------------------------------------- TGA

struct TgaLayout {
  int type = 0;   // 1 colour-mapped, 2 true colour, 3 grey; +8 when run-length encoded
  int bits = 0;   // bits per stored pixel
  int width = 0, height = 0;
  bool top_down = false;
  size_t map_at = 0, map_first = 0, map_entries = 0;
  int map_bits = 0;
  size_t pixels_at = 0;
};

// TGA has no signature: the header must make sense as a whole.
bool read_tga_layout(const uint8_t* d, size_t n, TgaLayout& l) {
  if (n < 18) return false;
  const int map_type = d[1];
  l.type = d[2];
  l.map_first = le16(d + 3);
  l.map_entries = le16(d + 5);
  l.map_bits = d[7];
  l.width = le16(d + 12);
  l.height = le16(d + 14);
  l.bits = d[16];
  l.top_down = (d[17] & 0x20) != 0;
  if (map_type > 1 || l.width == 0 || l.height == 0) return false;
  if (map_type == 1 && l.map_bits != 15 && l.map_bits != 16 && l.map_bits != 24 && l.map_bits != 32) return false;
  switch (l.type & 7) {
    case 1:
      if (l.type > 11 || map_type != 1 || (l.bits != 8 && l.bits != 16)) return false;
      break;
    case 2:
      if (l.type > 11 || (l.bits != 15 && l.bits != 16 && l.bits != 24 && l.bits != 32)) return false;
      break;
    case 3:
      if (l.type > 11 || (l.bits != 8 && l.bits != 16)) return false;
      break;
    default: return false;
  }
  l.map_at = 18 + size_t{d[0]};
  l.pixels_at = l.map_at + (map_type == 1 ? l.map_entries * ((l.map_bits + 7) / 8) : 0);
  if (map_type != 1) l.map_entries = 0;
  return true;
}

uint32_t tga_colour(const uint8_t* s, int bits) {
  switch (bits) {
    case 15: case 16: {
      const uint32_t v = le16(s);
      return argb(0xFF, widen5(v >> 10 & 31), widen5(v >> 5 & 31), widen5(v & 31));
    }
    case 24: return argb(0xFF, s[2], s[1], s[0]);
    default: return argb(s[3], s[2], s[1], s[0]);
  }
}

bool decode_tga(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  TgaLayout l;
  if (!read_tga_layout(d, n, l)) return fail(why, kUnknownFormat);
  if (l.pixels_at > n) return fail(why, "the file ends inside the colour map");
  std::vector<uint32_t> map(l.map_entries);
  for (size_t i = 0; i < map.size(); ++i) map[i] = tga_colour(d + l.map_at + i * ((l.map_bits + 7) / 8), l.map_bits);

  const size_t bytes = static_cast<size_t>(l.bits + 7) / 8;
  const size_t total = static_cast<size_t>(l.width) * static_cast<size_t>(l.height);
  const bool rle = l.type > 8;
  // Each run-length packet holds at most 128 pixels, in at least 1 + `bytes`
  // bytes: a file too short for that is cut, whatever its packets say.
  const size_t least = rle ? (total + 127) / 128 * (1 + bytes) : total * bytes;
  if (least > n - l.pixels_at) return fail(why, kCutPixels);

  auto pixel = [&](const uint8_t* s) -> uint32_t {
    switch (l.type & 7) {
      case 1: {
        const size_t index = (l.bits == 8 ? s[0] : le16(s)) - l.map_first;
        return index < map.size() ? map[index] : kOpaqueBlack;
      }
      case 3: return l.bits == 8 ? argb(0xFF, s[0], s[0], s[0]) : argb(s[1], s[0], s[0], s[0]);
      default: return tga_colour(s, l.bits);
    }
  };
  std::vector<uint32_t> pixels(total);
  size_t at = l.pixels_at;
  if (!rle) {
    for (uint32_t& px : pixels) px = pixel(d + at), at += bytes;
  } else {
    for (size_t i = 0; i < total;) {
      if (at >= n) return fail(why, kCutPixels);
      const uint8_t head = d[at++];
      const size_t count = std::min<size_t>((head & 0x7F) + 1, total - i);
      if (head & 0x80) {
        if (bytes > n - at) return fail(why, kCutPixels);
        std::fill_n(pixels.begin() + static_cast<ptrdiff_t>(i), count, pixel(d + at));
        at += bytes;
        i += count;
      } else {
        if (count * bytes > n - at) return fail(why, kCutPixels);
        for (size_t k = 0; k < count; ++k, at += bytes) pixels[i++] = pixel(d + at);
      }
    }
  }
  if (!l.top_down) {
    for (int y = 0; y < l.height / 2; ++y) {
      std::swap_ranges(pixels.begin() + static_cast<ptrdiff_t>(y) * l.width,
                       pixels.begin() + static_cast<ptrdiff_t>(y + 1) * l.width,
                       pixels.begin() + static_cast<ptrdiff_t>(l.height - 1 - y) * l.width);
    }
  }
  p.pixels = std::move(pixels);
  return true;
}

// ---------------------------------------------------------------- JPEG

bool is_jpeg_frame(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the markers up to the frame header, which holds the size.
bool read_jpeg_frame(const uint8_t* d, size_t n, PictureInfo& info, std::string& why) {
  size_t i = 2;
  for (;;) {
    if (i >= n) return fail(why, kCutHeader);
    if (d[i] != 0xFF) return fail(why, "damaged JPEG header");
    while (i < n && d[i] == 0xFF) ++i;
    if (i >= n) return fail(why, kCutHeader);
    const uint8_t marker = d[i++];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9 || marker == 0xDA) return fail(why, "damaged JPEG header (no frame header)");
    if (n - i < 2) return fail(why, kCutHeader);
    const size_t length = be16(d + i);
    if (length < 2) return fail(why, "damaged JPEG header");
    if (is_jpeg_frame(marker)) {
      if (length < 8) return fail(why, "damaged JPEG header");
      if (n - i < 8) return fail(why, kCutHeader);
      info.height = be16(d + i + 3);
      info.width = be16(d + i + 5);
      info.bits = d[i + 7] * 8;
      if (info.width == 0 || info.height == 0 || info.bits == 0) {
        return fail(why, "damaged JPEG header (no size)");
      }
      return true;
    }
    i += length;
  }
}

#ifndef __EMSCRIPTEN__
// A progressive file of thousands of tiny scans takes minutes to decode.
constexpr int kMaxJpegScans = 500;
// Progressive files keep all coefficients in memory: 100 MB at the largest side.
constexpr long kMaxJpegMemory = 256L << 20;

struct JpegErrors {
  jpeg_error_mgr manager;  // first: libjpeg sees only this part
  std::jmp_buf jump;
  bool cut = false;
  char message[JMSG_LENGTH_MAX] = "";
};

[[noreturn]] void jpeg_fail(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings go nowhere; the one that matters is the end of the data.
void jpeg_note(j_common_ptr cinfo, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  if (level < 0) {
    ++errors->manager.num_warnings;
    if (errors->manager.msg_code == JWRN_JPEG_EOF) errors->cut = true;
  }
}

void jpeg_count_scans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxJpegScans) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    std::snprintf(errors->message, sizeof errors->message, "more than %d scans", kMaxJpegScans);
    std::longjmp(errors->jump, 1);
  }
}

// `p` already holds width x height pixels. No object with a destructor is
// made between setjmp and the calls that may jump back to it.
bool decode_jpeg(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  JpegErrors errors;
  jpeg_decompress_struct cinfo;
  jpeg_progress_mgr progress{};
  std::memset(&cinfo, 0, sizeof cinfo);
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = jpeg_fail;
  errors.manager.emit_message = jpeg_note;
  progress.progress_monitor = jpeg_count_scans;
  volatile bool in_pixels = false;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    if (errors.cut) {
      why = in_pixels ? kCutPixels : kCutHeader;
    } else {
      why = std::string("damaged JPEG data (") + errors.message + ")";
    }
    return false;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxJpegMemory;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, d, static_cast<unsigned long>(n));
  jpeg_read_header(&cinfo, TRUE);
  if (static_cast<int>(cinfo.image_width) != p.width || static_cast<int>(cinfo.image_height) != p.height) {
    std::snprintf(errors.message, sizeof errors.message, "two sizes");
    std::longjmp(errors.jump, 1);
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  in_pixels = true;
  jpeg_start_decompress(&cinfo);
  const int components = cinfo.output_components;
  JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                              cinfo.output_width * static_cast<JDIMENSION>(components), 1);
  // Adobe's CMYK files store the channels inverted: 255 is no ink.
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    uint32_t* o = &p.pixels[static_cast<size_t>(cinfo.output_scanline) * static_cast<size_t>(p.width)];
    jpeg_read_scanlines(&cinfo, row, 1);
    const JSAMPLE* s = row[0];
    for (int x = 0; x < p.width; ++x, s += components) {
      if (!cmyk) {
        o[x] = argb(0xFF, s[0], s[1], s[2]);
      } else {
        uint32_t c[4] = {s[0], s[1], s[2], s[3]};
        if (!inverted) for (uint32_t& v : c) v = 255 - v;
        o[x] = argb(0xFF, (c[0] * c[3] + 127) / 255, (c[1] * c[3] + 127) / 255, (c[2] * c[3] + 127) / 255);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);  // reads on to the end mark
  const bool cut = errors.cut;
  jpeg_destroy_decompress(&cinfo);
  if (cut) return fail(why, kCutPixels);
  return true;
}

#else
// In the page the browser has decoded the file before the show started.
bool decode_jpeg(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  return web::decoded_picture(d, n, p, why);
}
#endif
// ---------------------------------------------------------------- PNG

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

bool read_png_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why) {
  if (n < 33) return fail(why, kCutHeader);
  if (be32(d + 8) != 13 || std::memcmp(d + 12, "IHDR", 4) != 0) {
    return fail(why, "damaged PNG header (no IHDR first)");
  }
  const uint32_t w = be32(d + 16), h = be32(d + 20);
  if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return fail(why, "damaged PNG header (no size)");
  const int depth = d[24];
  int channels = 0;
  bool depth_ok = false;
  switch (d[25]) {
    case 0: channels = 1, depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16; break;
    case 2: channels = 3, depth_ok = depth == 8 || depth == 16; break;
    case 3: channels = 1, depth_ok = depth == 1 || depth == 2 || depth == 4 || depth == 8; break;
    case 4: channels = 2, depth_ok = depth == 8 || depth == 16; break;
    case 6: channels = 4, depth_ok = depth == 8 || depth == 16; break;
    default: break;
  }
  if (!depth_ok) return fail(why, "damaged PNG header (bad colour type or depth)");
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  info.bits = depth * channels;
  return true;
}

#ifndef __EMSCRIPTEN__
struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t at;
  bool cut;
  char message[200];
};

[[noreturn]] void png_fail(png_structp png, png_const_charp message) {
  auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
  std::snprintf(source->message, sizeof source->message, "%s", message);
  png_longjmp(png, 1);
}

void png_warning_ignored(png_structp, png_const_charp) {}

void png_read_memory(png_structp png, png_bytep out, png_size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > source->size - source->at) {
    source->cut = true;
    png_error(png, "cut");
  }
  std::memcpy(out, source->data + source->at, length);
  source->at += length;
}

// `p` already holds width x height pixels: the rows are decoded into them
// as bytes B, G, R, A, then turned into 0xAARRGGBB in place.
bool decode_png(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  PngSource source{d, n, 0, false, ""};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, png_fail, png_warning_ignored);
  if (!png) return fail(why, "out of memory");
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return fail(why, "out of memory");
  }
  std::vector<png_bytep> rows(static_cast<size_t>(p.height));
  for (size_t y = 0; y < rows.size(); ++y) {
    rows[y] = reinterpret_cast<png_bytep>(&p.pixels[y * static_cast<size_t>(p.width)]);
  }
  volatile bool in_pixels = false;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (source.cut) {
      why = in_pixels ? kCutPixels : kCutHeader;
    } else {
      why = std::string("damaged PNG data (") + source.message + ")";
    }
    return false;
  }
  png_set_read_fn(png, &source, png_read_memory);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_read_info(png, info);
  if (static_cast<int>(png_get_image_width(png, info)) != p.width ||
      static_cast<int>(png_get_image_height(png, info)) != p.height) {
    png_error(png, "two sizes");
  }
  png_set_expand(png);       // palette, grey under 8 bits and transparency to 8-bit channels
  png_set_strip_16(png);     // 16 bits to their high byte
  png_set_gray_to_rgb(png);
  png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(p.width) * 4) png_error(png, "unexpected row size");
  in_pixels = true;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);  // a file must reach its end mark
  png_destroy_read_struct(&png, &info, nullptr);
  for (uint32_t& px : p.pixels) {
    uint8_t c[4];
    std::memcpy(c, &px, 4);
    px = argb(c[3], c[2], c[1], c[0]);
  }
  return true;
}

#else
bool decode_png(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  return web::decoded_picture(d, n, p, why);
}

#endif
// ---------------------------------------------------------------- all formats

enum class Format { unknown, bmp, jpeg, png, tga };

Format sniff(const uint8_t* d, size_t n) {
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') return Format::bmp;
  if (n >= 2 && d[0] == 0xFF && d[1] == 0xD8) return Format::jpeg;
  if (n >= 4 && std::memcmp(d, kPngSignature, std::min<size_t>(n, 8)) == 0) return Format::png;
  TgaLayout tga;
  if (read_tga_layout(d, n, tga)) return Format::tga;
  return Format::unknown;
}

bool read_header(const uint8_t* d, size_t n, Format format, PictureInfo& info, std::string& why) {
  switch (format) {
    case Format::bmp: {
      BmpLayout l;
      if (!read_bmp_layout(d, n, l, why)) return false;
      info = {l.width, l.height, l.bits, "bmp"};
      return true;
    }
    case Format::jpeg:
      info.format = "jpeg";
      return read_jpeg_frame(d, n, info, why);
    case Format::png:
      info.format = "png";
      return read_png_header(d, n, info, why);
    case Format::tga: {
      TgaLayout l;
      read_tga_layout(d, n, l);
      if (l.pixels_at > n) return fail(why, "the file ends inside the colour map");
      info = {l.width, l.height, l.bits, "tga"};
      return true;
    }
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
