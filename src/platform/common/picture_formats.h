#pragma once
// The picture readers' own parts, one file a format: picture_bmp.cpp,
// picture_tga.cpp, picture_jpeg.cpp and picture_png.cpp read the headers;
// the pixels of BMP and TGA are decoded there too, those of JPEG and PNG by
// the build's decoders (jpeg_decoder.cpp with libjpeg and png_decoder.cpp
// with libpng on the desktop, web_decoders.cpp in the page, where the
// browser decoded the file before the show started). picture_file.cpp
// tells the formats apart and is the only caller.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/common/picture.h"
#include "platform/common/picture_file.h"

namespace quarvel::picture_formats {

inline constexpr const char* kUnknownFormat =
    "not a picture this program reads (unknown format; BMP, JPEG, PNG and TGA are read)";
inline constexpr const char* kCutHeader = "the file ends inside the header";
inline constexpr const char* kCutPixels = "the file ends inside the pixel data";

inline uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

inline uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }
inline constexpr uint32_t kOpaqueBlack = 0xFF000000u;

// A 5-bit channel widened to 8 bits, as 0 -> 0 and 31 -> 255.
inline uint32_t widen5(uint32_t v) { return v << 3 | v >> 2; }

// Sets the reason a file is refused; for `return fail(why, "...")`.
inline bool fail(std::string& why, std::string reason) {
  why = std::move(reason);
  return false;
}

// Each reader's header: false with `why` when the data is not of its
// format, or its header is damaged or cut. Each decoder: `p` has the size
// of the header, and for JPEG and PNG already holds its pixels in opaque
// black; false with `why` when the pixels cannot be read.
bool read_bmp_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why);
bool decode_bmp(const uint8_t* d, size_t n, Picture& p, std::string& why);

// TGA has no signature: a header that makes sense as a whole is one.
bool is_tga(const uint8_t* d, size_t n);
bool read_tga_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why);
bool decode_tga(const uint8_t* d, size_t n, Picture& p, std::string& why);

bool read_jpeg_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why);
bool decode_jpeg(const uint8_t* d, size_t n, Picture& p, std::string& why);

inline constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
bool read_png_header(const uint8_t* d, size_t n, PictureInfo& info, std::string& why);
bool decode_png(const uint8_t* d, size_t n, Picture& p, std::string& why);

}  // namespace quarvel::picture_formats
