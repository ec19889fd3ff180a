#pragma once
#include <string>
#include <string_view>

namespace quarvel {

// `text` as a JSON string literal, quotes included. Control characters are
// escaped. Bytes above 0x7F pass through as they are (file names are UTF-8),
// or, with `latin1`, are each written as the Latin-1 character they stand
// for (names inside model files, whose code page is unknown).
std::string json_string(std::string_view text, bool latin1 = false);

}  // namespace quarvel
