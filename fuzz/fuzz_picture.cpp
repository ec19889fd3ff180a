// Feeds arbitrary bytes to the picture reader, one format per target (the
// build names it in QUARVEL_FUZZ_FORMAT: bmp, tga, jpeg or png). Inputs of
// another format are left out of the corpus, so that each target's time
// goes to its own reader. Any crash, hang, leak or sanitizer report is a
// bug; so is a refusal that does not say why in one line, or a picture
// beyond the size limit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/common/picture_file.h"

#ifndef QUARVEL_FUZZ_FORMAT
#error "QUARVEL_FUZZ_FORMAT names the picture format this target reads"
#endif

namespace {

// True when the bytes start the way this target's format does. TGA has no
// signature: anything another reader would take is left out.
bool of_this_format(const uint8_t* d, size_t n) {
  static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  const bool bmp = n >= 2 && d[0] == 'B' && d[1] == 'M';
  const bool jpeg = n >= 2 && d[0] == 0xFF && d[1] == 0xD8;
  const bool is_png = n >= 8 && std::memcmp(d, png, 8) == 0;
  const std::string want = QUARVEL_FUZZ_FORMAT;
  if (want == "bmp") return bmp;
  if (want == "jpeg") return jpeg;
  if (want == "png") return is_png;
  return !bmp && !jpeg && !(n >= 4 && std::memcmp(d, png, 4) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!of_this_format(data, size)) return -1;
  quarvel::PictureInfo info;
  const bool probed = quarvel::probe_picture(data, size, info);
  quarvel::Picture picture;
  std::string error;
  if (quarvel::decode_picture(data, size, "fuzz", picture, error)) {
    // A decoded picture has its header's size, within the limit, and every pixel.
    if (!probed || info.width != picture.width || info.height != picture.height) __builtin_trap();
    if (picture.width <= 0 || picture.height <= 0 || picture.width > quarvel::kMaxPictureSide ||
        picture.height > quarvel::kMaxPictureSide) {
      __builtin_trap();
    }
    if (picture.pixels.size() != static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height)) {
      __builtin_trap();
    }
  } else if (error.rfind("fuzz: ", 0) != 0 || error.size() <= 6 || error.find('\n') != std::string::npos) {
    __builtin_trap();  // a refusal names the file and says why, in one line
  }
  return 0;
}
