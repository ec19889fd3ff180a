#include "platform/common/number_text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace quarvel {

namespace {

std::string printed(const char* format, int precision, double v) {
  char buf[512];
  const int n = std::snprintf(buf, sizeof buf, format, precision, v);
  return n > 0 && n < static_cast<int>(sizeof buf) ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace

std::string portable::shortest_text(float v) {
  if (std::isnan(v)) return std::signbit(v) ? "-nan" : "nan";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  if (v == 0) return std::signbit(v) ? "-0" : "0";
  // The fewest significant digits that read back as v...
  std::string sci;
  int digits = 1;
  for (; digits <= 9; ++digits) {
    sci = printed("%.*e", digits - 1, v);
    if (std::strtof(sci.c_str(), nullptr) == v) break;
  }
  // ... in scientific ("1.5e+20") or fixed notation, whichever is shorter
  // (fixed on a tie).
  const int exponent = std::atoi(sci.c_str() + sci.find('e') + 1);
  const std::string fixed = printed("%.*f", std::max(0, digits - 1 - exponent), v);
  return fixed.size() <= sci.size() ? fixed : sci;
}

std::string portable::text_with_precision(double v, std::chars_format format, int precision) {
  return printed(format == std::chars_format::fixed ? "%.*f" : "%.*g", precision, v);
}

std::from_chars_result portable::read_double(const char* first, const char* last, double& value) {
  // What from_chars refuses and strtod would take: blanks, '+', "0x".
  const char* p = first;
  if (p < last && *p == '-') ++p;
  if (p == last || std::isspace(static_cast<unsigned char>(*p)) || *p == '+') return {first, std::errc::invalid_argument};
  std::string text(first, last);
  const size_t digits = static_cast<size_t>(p - first);
  if (text.size() > digits + 1 && text[digits] == '0' && (text[digits + 1] == 'x' || text[digits + 1] == 'X')) {
    text.resize(digits + 1);  // "0x..." reads as the 0 before the x
  }
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return {first, std::errc::invalid_argument};
  const char* stop = first + (end - text.c_str());
  if (errno == ERANGE) return {stop, std::errc::result_out_of_range};
  value = v;
  return {stop, std::errc()};
}

}  // namespace quarvel
