#pragma once
#include <string>

#include "platform/common/picture.h"

namespace quarvel {

// Writes `picture` as an RGB PNG file. Returns false and sets `error`
// (which file, what went wrong) on failure.
bool write_png(const std::string& path, const Picture& picture, std::string* error = nullptr);

}  // namespace quarvel
