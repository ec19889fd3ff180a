#pragma once
// Picture files made in memory for the decoder's tests: PNG and JPEG through
// libpng and libjpeg, TGA by hand, and ways to patch their headers.
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

namespace quarvel::testing {

inline void put_be32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (24 - 8 * i));
}
inline void put_be16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v >> 8);
  s[at + 1] = static_cast<char>(v);
}

// A PNG of `raw` rows as the file stores them (big-endian 16-bit samples).
inline std::string make_png(int w, int h, int depth, int color_type, const std::vector<uint8_t>& raw,
                            const std::vector<png_color>& palette = {}) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep d, png_size_t n) {
        static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(d), n);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), depth, color_type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  png_write_info(png, info);
  const size_t row = png_get_rowbytes(png, info);
  for (int y = 0; y < h; ++y) png_write_row(png, raw.data() + static_cast<size_t>(y) * row);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Gives a PNG's header another size, with a valid checksum.
inline void set_png_size(std::string& png, uint32_t w, uint32_t h) {
  put_be32(png, 16, w);
  put_be32(png, 20, h);
  put_be32(png, 29, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17)));
}

// A JPEG of 0xRRGGBB pixels. `script` sets the scans of a progressive file.
inline std::string make_jpeg(int w, int h, const std::vector<uint32_t>& pixels, int quality = 95,
                             bool progressive = false, const std::vector<jpeg_scan_info>& script = {}) {
  jpeg_compress_struct c;
  jpeg_error_mgr errors;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  if (!script.empty()) {
    c.scan_info = script.data();
    c.num_scans = static_cast<int>(script.size());
  }
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(w) * 3);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x) {
      const uint32_t v = pixels[static_cast<size_t>(c.next_scanline) * static_cast<size_t>(w) + static_cast<size_t>(x)];
      row[static_cast<size_t>(x) * 3] = static_cast<JSAMPLE>(v >> 16);
      row[static_cast<size_t>(x) * 3 + 1] = static_cast<JSAMPLE>(v >> 8);
      row[static_cast<size_t>(x) * 3 + 2] = static_cast<JSAMPLE>(v);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return out;
}

// Offset of the first segment with `marker` (its 0xFF byte) before the
// first scan, or npos.
inline size_t find_jpeg_segment(const std::string& j, uint8_t marker) {
  size_t i = 2;
  while (i + 4 <= j.size() && static_cast<uint8_t>(j[i]) == 0xFF) {
    const uint8_t m = static_cast<uint8_t>(j[i + 1]);
    if (m == marker) return i;
    if (m == 0xDA) break;
    i += 2 + (static_cast<uint8_t>(j[i + 2]) << 8 | static_cast<uint8_t>(j[i + 3]));
  }
  return std::string::npos;
}

// A TGA of 0xAARRGGBB pixels, top row first in `pixels`; 24 or 32 bits,
// stored bottom row first unless `top_down`, run-length encoded if `rle`.
inline std::string make_tga(int w, int h, int bits, bool rle, const std::vector<uint32_t>& pixels,
                            bool top_down = false) {
  std::string f(18, '\0');
  f[2] = static_cast<char>(rle ? 10 : 2);
  f[12] = static_cast<char>(w & 0xFF), f[13] = static_cast<char>(w >> 8);
  f[14] = static_cast<char>(h & 0xFF), f[15] = static_cast<char>(h >> 8);
  f[16] = static_cast<char>(bits);
  f[17] = static_cast<char>(top_down ? 0x20 : 0);
  auto put = [&](uint32_t v) {
    f += static_cast<char>(v & 0xFF);
    f += static_cast<char>(v >> 8 & 0xFF);
    f += static_cast<char>(v >> 16 & 0xFF);
    if (bits == 32) f += static_cast<char>(v >> 24);
  };
  for (int r = 0; r < h; ++r) {
    const int y = top_down ? r : h - 1 - r;
    const uint32_t* row = &pixels[static_cast<size_t>(y) * static_cast<size_t>(w)];
    // Run-length: a run packet for each pixel equal to the next, raw packets of one otherwise.
    for (int x = 0; x < w;) {
      if (!rle) {
        put(row[x++]);
        continue;
      }
      int run = 1;
      while (x + run < w && run < 128 && row[x + run] == row[x]) ++run;
      f += static_cast<char>(run > 1 ? 0x80 | (run - 1) : 0);
      put(row[x]);
      x += run;
    }
  }
  return f;
}

}  // namespace quarvel::testing
