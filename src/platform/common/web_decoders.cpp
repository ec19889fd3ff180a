// JPEG and PNG pixels in the page: the browser decoded the file before the
// show started, and its pixels are looked up by the file's bytes.
#include "platform/common/picture_formats.h"
#include "platform/common/web_pictures.h"

namespace quarvel::picture_formats {

bool decode_jpeg(const uint8_t* d, size_t n, Picture& p, std::string& why) { return web::decoded_picture(d, n, p, why); }

bool decode_png(const uint8_t* d, size_t n, Picture& p, std::string& why) { return web::decoded_picture(d, n, p, why); }

}  // namespace quarvel::picture_formats
