// The web edition's number text (strtod/snprintf) against the standard
// library's from_chars/to_chars, which the desktop uses: traces and light
// lines must read the same in both.
#include "platform/common/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <string>

namespace quarvel {
namespace {

TEST(NumberText, PortableShortestTextMatchesToChars) {
  const float values[] = {0.0f,   -0.0f,     1.0f,       -1.5f,       0.1f,        11.76f,    58.768665f, 1e5f,
                          1e20f,  123456.0f, 1.0e-5f,    3.4028235e38f, 1.17549435e-38f, 1e-45f, 0.3f,  16777216.0f,
                          28104.5f, 0.45f,   -10000.0f, 2.5e-3f,     7.0e7f};
  for (float v : values) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    EXPECT_EQ(portable::shortest_text(v), std::string(buf, r.ptr)) << v;
  }
}

TEST(NumberText, PortablePrecisionMatchesToChars) {
  const double values[] = {0.0, 1.0, -2.25, 0.1, 1e20, 123456.789, 1e-7, 0.05};
  for (double v : values) {
    for (auto [format, precision] : {std::pair{std::chars_format::general, 15}, std::pair{std::chars_format::fixed, 1}}) {
      char buf[512];
      const auto r = std::to_chars(buf, buf + sizeof buf, v, format, precision);
      EXPECT_EQ(portable::text_with_precision(v, format, precision), std::string(buf, r.ptr)) << v;
    }
  }
}

TEST(NumberText, PortableReadDoubleMatchesFromChars) {
  const char* texts[] = {"1", "-2.5", "3.000000", "1e3", "0x10", " 1", "+1", "abc", "", "1.#QNAN0", "1e999",
                         "inf", "-nan", "12ab", "-", ".5"};
  for (const char* t : texts) {
    const char* end = t + std::strlen(t);
    double a = -7, b = -7;
    const auto ra = std::from_chars(t, end, a);
    const auto rb = portable::read_double(t, end, b);
    EXPECT_EQ(ra.ec, rb.ec) << t;
    EXPECT_EQ(ra.ptr - t, rb.ptr - t) << t;
    if (ra.ec == std::errc() && a == a) {
      EXPECT_EQ(a, b) << t;
    }
  }
}

}  // namespace
}  // namespace quarvel
