// Numbers as text on the desktop: the standard library's exact
// conversions.
#include <charconv>
#include <string>

#include "platform/common/number_text.h"

namespace quarvel {

std::from_chars_result read_double(const char* first, const char* last, double& value) {
  return std::from_chars(first, last, value);
}

std::string shortest_text(float v) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string text_with_precision(double v, std::chars_format format, int precision) {
  char buf[512];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, format, precision);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

}  // namespace quarvel
