#include "platform/retained/xfile/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xfile/xfile_test_util.h"

namespace quarvel::xfile {
namespace {

std::vector<TokenKind> kinds(std::string_view text) {
  TextLexer lx(text.data(), text.size());
  std::vector<TokenKind> out;
  for (Token t = lx.next(); t.kind != TokenKind::End; t = lx.next()) out.push_back(t.kind);
  return out;
}

TEST(TextLexer, SplitsBracesSeparatorsWordsStringsAndIds) {
  using K = TokenKind;
  EXPECT_EQ(kinds("Frame Box { <1-2> \"a b\"; 1,2 }"),
            (std::vector<K>{K::Word, K::Word, K::OpenBrace, K::Guid, K::String, K::Separator, K::Word, K::Separator,
                            K::Word, K::CloseBrace}));
}

TEST(TextLexer, SkipsHashAndSlashComments) {
  std::string text = "# one\r\nA // two {\r\n// three\nB";
  TextLexer lx(text.data(), text.size());
  EXPECT_EQ(lx.next().text, "A");
  EXPECT_EQ(lx.next().text, "B");
  EXPECT_EQ(lx.next().kind, TokenKind::End);
}

TEST(TextLexer, KnowsTheTemplateKeyword) {
  std::string text = "template Mesh";
  TextLexer lx(text.data(), text.size());
  EXPECT_EQ(lx.next().kind, TokenKind::Template);
  EXPECT_EQ(lx.next().kind, TokenKind::Word);
}

TEST(TextLexer, ReadsNumbersAcrossSeparatorsAndLineEnds) {
  std::string text = "3;\r\n-1.5;2e1,+.25;;,7";
  TextLexer lx(text.data(), text.size());
  EXPECT_EQ(lx.read_uint(), 3u);
  EXPECT_FLOAT_EQ(lx.read_float(), -1.5f);
  EXPECT_FLOAT_EQ(lx.read_float(), 20.0f);
  EXPECT_FLOAT_EQ(lx.read_float(), 0.25f);
  EXPECT_EQ(lx.read_uint(), 7u);
}

TEST(TextLexer, ReadsUnprintableFloatsAsZero) {
  std::string text = "1.#QNAN0; -1.#IND00;";
  TextLexer lx(text.data(), text.size());
  EXPECT_EQ(lx.read_float(), 0.0f);
  EXPECT_EQ(lx.read_float(), 0.0f);
}

TEST(TextLexer, RefusesAWordWhereANumberIsExpected) {
  std::string text = "\n\nBox";
  TextLexer lx(text.data(), text.size());
  try {
    lx.read_float();
    FAIL();
  } catch (const ParseError& e) {
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("'Box'"), std::string::npos) << e.what();
  }
}

TEST(TextLexer, RefusesAnUnterminatedString) {
  std::string text = "\"abc";
  TextLexer lx(text.data(), text.size());
  EXPECT_THROW(lx.next(), ParseError);
}

TEST(TextLexer, ReadsAStringAfterItsSeparator) {
  std::string text = "; \"C:\\\\maps\\\\wall.bmp\";";
  TextLexer lx(text.data(), text.size());
  EXPECT_EQ(lx.read_string(), "C:\\\\maps\\\\wall.bmp");
}

TEST(BinaryLexer, ReadsNamesStringsBracesAndIds) {
  testing::BinaryWriter w;
  w.name("Frame").name("Box").open().code(5).bytes(std::string(16, 'x')).string("a.bmp").close();
  std::string b = w.body();
  BinaryLexer lx(reinterpret_cast<const uint8_t*>(b.data()), b.size(), 32);
  Token t = lx.next();
  EXPECT_EQ(t.kind, TokenKind::Word);
  EXPECT_EQ(t.text, "Frame");
  EXPECT_EQ(lx.next().text, "Box");
  EXPECT_EQ(lx.next().kind, TokenKind::OpenBrace);
  EXPECT_EQ(lx.next().kind, TokenKind::Guid);
  t = lx.next();
  EXPECT_EQ(t.kind, TokenKind::String);
  EXPECT_EQ(t.text, "a.bmp");
  EXPECT_EQ(lx.next().kind, TokenKind::CloseBrace);
  EXPECT_EQ(lx.next().kind, TokenKind::End);
}

TEST(BinaryLexer, ReadsNumbersAcrossIntegerAndFloatLists) {
  testing::BinaryWriter w;
  w.ints({2, 9}).floats({1.5, -2.0}).code(3).dword(42);
  std::string b = w.body();
  BinaryLexer lx(reinterpret_cast<const uint8_t*>(b.data()), b.size(), 32);
  EXPECT_EQ(lx.read_uint(), 2u);
  EXPECT_EQ(lx.read_uint(), 9u);
  float f[2];
  lx.read_floats(f, 2);
  EXPECT_FLOAT_EQ(f[0], 1.5f);
  EXPECT_FLOAT_EQ(f[1], -2.0f);
  EXPECT_EQ(lx.read_uint(), 42u);
}

TEST(BinaryLexer, ReadsSixtyFourBitFloats) {
  testing::BinaryWriter w(64);
  w.floats({0.125, 3.0});
  std::string b = w.body();
  BinaryLexer lx(reinterpret_cast<const uint8_t*>(b.data()), b.size(), 64);
  EXPECT_FLOAT_EQ(lx.read_float(), 0.125f);
  EXPECT_FLOAT_EQ(lx.read_float(), 3.0f);
}

TEST(BinaryLexer, HandsUnreadNumbersOnAsOneToken) {
  testing::BinaryWriter w;
  w.ints({1, 2, 3}).close();
  std::string b = w.body();
  BinaryLexer lx(reinterpret_cast<const uint8_t*>(b.data()), b.size(), 32);
  EXPECT_EQ(lx.read_uint(), 1u);
  Token t = lx.next();
  EXPECT_EQ(t.kind, TokenKind::Numbers);
  EXPECT_EQ(t.count, 2u);
  EXPECT_EQ(lx.next().kind, TokenKind::CloseBrace);
}

TEST(BinaryLexer, RefusesAListLongerThanTheData) {
  testing::BinaryWriter w;
  w.code(6).dword(1000000).dword(1);
  std::string b = w.body();
  BinaryLexer lx(reinterpret_cast<const uint8_t*>(b.data()), b.size(), 32, 16);
  try {
    lx.read_uint();
    FAIL();
  } catch (const ParseError& e) {
    EXPECT_NE(std::string(e.what()).find("byte 16"), std::string::npos) << e.what();
  }
}

TEST(BinaryLexer, RefusesAnUnknownTokenCode) {
  testing::BinaryWriter w;
  w.code(999);
  std::string b = w.body();
  BinaryLexer lx(reinterpret_cast<const uint8_t*>(b.data()), b.size(), 32);
  EXPECT_THROW(lx.next(), ParseError);
}

TEST(BinaryLexer, RefusesANameLongerThanTheData) {
  testing::BinaryWriter w;
  w.code(1).dword(50).bytes("abc");
  std::string b = w.body();
  BinaryLexer lx(reinterpret_cast<const uint8_t*>(b.data()), b.size(), 32);
  EXPECT_THROW(lx.next(), ParseError);
}

}  // namespace
}  // namespace quarvel::xfile
