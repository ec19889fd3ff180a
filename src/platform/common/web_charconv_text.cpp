// Numbers as text in the page, whose standard library lacks the
// floating-point conversions of <charconv>: the portable ones, which give
// the same text.
#include <string>

#include "platform/common/number_text.h"

namespace quarvel {

std::from_chars_result read_double(const char* first, const char* last, double& value) {
  return portable::read_double(first, last, value);
}
std::string shortest_text(float v) { return portable::shortest_text(v); }
std::string text_with_precision(double v, std::chars_format format, int precision) {
  return portable::text_with_precision(v, format, precision);
}

}  // namespace quarvel
