#pragma once
// Pictures decoded by the browser. In the page there is no libjpeg or
// libpng: before the show starts, the page decodes every JPEG and PNG file
// of the show with the browser's own decoders and hands the pixels over
// here, keyed by the file's bytes. The picture reader then finds a file's
// pixels by its bytes, whatever name it is opened under.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/common/picture.h"

namespace quarvel::web {

// Keeps the pixels (0xAARRGGBB, rows top to bottom) of the file `data`.
void add_decoded_picture(const uint8_t* data, size_t size, Picture picture);

// The pixels of `data` into `p` (already sized from the file's header);
// false with the reason in `why` when the browser did not decode it.
bool decoded_picture(const uint8_t* data, size_t size, Picture& p, std::string& why);

}  // namespace quarvel::web
