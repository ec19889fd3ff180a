#pragma once
// Floating-point numbers to and from text with the rules of std::from_chars
// and std::to_chars: independent of the locale, correctly rounded. The web
// edition's C++ library has neither for floating point; there the same is
// done with strtod and snprintf in the "C" locale.
#include <charconv>
#include <string>

namespace quarvel {

// std::from_chars(first, last, value): no leading blanks or '+', no
// hexadecimal, "inf" and "nan" allowed.
std::from_chars_result read_double(const char* first, const char* last, double& value);

// std::to_chars(v): the shortest text that reads back as the same float.
std::string shortest_text(float v);

// std::to_chars(v, format, precision) for fixed or general.
std::string text_with_precision(double v, std::chars_format format, int precision);

// The strtod/snprintf forms the web edition uses, on every platform (so the
// desktop's tests compare them with the standard library's).
namespace portable {
std::from_chars_result read_double(const char* first, const char* last, double& value);
std::string shortest_text(float v);
std::string text_with_precision(double v, std::chars_format format, int precision);
}  // namespace portable

}  // namespace quarvel
