#include <gtest/gtest.h>

#include "platform/common/json.h"

using quarvel::json_string;

TEST(JsonString, EscapesQuotesBackslashesAndControls) {
  EXPECT_EQ(json_string("a\"b\\c\n\t\r"), "\"a\\\"b\\\\c\\n\\t\\r\"");
  EXPECT_EQ(json_string(std::string("\x01\x7f", 2)), "\"\\u0001\\u007f\"");
  EXPECT_EQ(json_string(""), "\"\"");
}

TEST(JsonString, KeepsUtf8AndReadsOtherBytesAsLatin1) {
  EXPECT_EQ(json_string("\xC3\xA9t\xC3\xA9"), "\"\xC3\xA9t\xC3\xA9\"");          // été in UTF-8
  EXPECT_EQ(json_string("\xE9t\xE9"), "\"\\u00e9t\\u00e9\"");                   // été in Latin-1
  EXPECT_EQ(json_string("\xC3\xA9", true), "\"\\u00c3\\u00a9\"");               // names: always bytes
  EXPECT_EQ(json_string("\xE2\x82"), "\"\\u00e2\\u0082\"");                     // cut sequence
  EXPECT_EQ(json_string("\xC0\xAF"), "\"\\u00c0\\u00af\"");                     // overlong
  EXPECT_EQ(json_string("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\"");          // surrogate
  EXPECT_EQ(json_string("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");           // outside the BMP
}
