// PNG pixels on the desktop, through libpng.
#include "platform/common/picture_formats.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <png.h>

namespace quarvel::picture_formats {

namespace {

struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t at;
  bool cut;
  char message[200];
  bool oversized = false;  // libpng asked for more memory than the file can need
};

[[noreturn]] void png_fail(png_structp png, png_const_charp message) {
  auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
  std::snprintf(source->message, sizeof source->message, "%s",
                source->oversized ? "a chunk declares more bytes than the file holds" : message);
  png_longjmp(png, 1);
}

// libpng's own memory: its row buffers, inflate windows and the chunks it
// keeps. None of them needs more than the file's size and a row's bytes, so
// a larger request can only come from a damaged chunk length; it is refused
// instead of taking gigabytes for a file of a few hundred bytes.
png_voidp png_bounded_malloc(png_structp png, png_alloc_size_t size) {
  auto* source = static_cast<PngSource*>(png_get_mem_ptr(png));
  constexpr png_alloc_size_t kSlack = png_alloc_size_t{4} << 20;  // rows of the widest picture and inflate state
  if (source && size > source->size + kSlack) {
    source->oversized = true;
    return nullptr;
  }
  return std::malloc(size);
}

void png_bounded_free(png_structp, png_voidp p) { std::free(p); }

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

}  // namespace

// `p` already holds width x height pixels: the rows are decoded into them
// as bytes B, G, R, A, then turned into 0xAARRGGBB in place.
bool decode_png(const uint8_t* d, size_t n, Picture& p, std::string& why) {
  PngSource source{d, n, 0, false, ""};
  png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &source, png_fail, png_warning_ignored, &source,
                                             png_bounded_malloc, png_bounded_free);
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
}  // namespace quarvel::picture_formats
