#pragma once
#include <string>
#include <string_view>

namespace quarvel {

// `text` as a JSON string literal, quotes included. Control characters are
// escaped. Well-formed UTF-8 passes through as it is (file names); any other
// byte above 0x7F is written as the Latin-1 character it stands for, and
// with `latin1` every such byte is (names inside model files, whose code
// page is unknown). The result is always valid JSON.
std::string json_string(std::string_view text, bool latin1 = false);

}  // namespace quarvel
