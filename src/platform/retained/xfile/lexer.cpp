#include "platform/retained/xfile/lexer.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/common/number_text.h"

namespace quarvel::xfile {

const char* token_kind_name(TokenKind k) {
  switch (k) {
    case TokenKind::End: return "end of file";
    case TokenKind::Word: return "name";
    case TokenKind::String: return "string";
    case TokenKind::Guid: return "id";
    case TokenKind::OpenBrace: return "'{'";
    case TokenKind::CloseBrace: return "'}'";
    case TokenKind::Separator: return "separator";
    case TokenKind::Template: return "template";
    case TokenKind::Numbers: return "numbers";
    case TokenKind::Other: return "punctuation";
  }
  return "token";
}

// ---------------------------------------------------------------- text

namespace {

inline bool is_space(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline bool ends_word(char c) {
  switch (c) {
    case '{': case '}': case ',': case ';': case '"': case '<':
      return true;
    default:
      return is_space(c);
  }
}

}  // namespace

std::string shown(std::string_view s) {
  std::string out;
  for (char c : s.substr(0, 40)) out += (c >= ' ' && c < 127) ? c : '?';
  if (s.size() > 40) out += "...";
  return "'" + out + "'";
}

Token TextLexer::next() {
  for (;;) {
    while (p_ < end_ && is_space(*p_)) ++p_;
    if (p_ == end_) return {TokenKind::End, {}, 0, offset()};
    if (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) {
      const void* nl = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
      p_ = nl ? static_cast<const char*>(nl) + 1 : end_;
      continue;
    }
    break;
  }
  Token t;
  t.offset = offset();
  const char* start = p_;
  switch (*p_) {
    case '{': ++p_; t.kind = TokenKind::OpenBrace; return t;
    case '}': ++p_; t.kind = TokenKind::CloseBrace; return t;
    case ',': case ';': ++p_; t.kind = TokenKind::Separator; return t;
    case '"': {
      const void* q = std::memchr(p_ + 1, '"', static_cast<size_t>(end_ - p_ - 1));
      if (!q) fail("a string that never ends", t.offset);
      const char* close = static_cast<const char*>(q);
      t.kind = TokenKind::String;
      t.text = std::string_view(p_ + 1, static_cast<size_t>(close - p_ - 1));
      p_ = close + 1;
      return t;
    }
    case '<': {
      const void* q = std::memchr(p_, '>', static_cast<size_t>(end_ - p_));
      if (!q) fail("an id ('<') that never ends", t.offset);
      p_ = static_cast<const char*>(q) + 1;
      t.kind = TokenKind::Guid;
      return t;
    }
    default:
      break;
  }
  while (p_ < end_ && !ends_word(*p_)) ++p_;
  t.text = std::string_view(start, static_cast<size_t>(p_ - start));
  t.kind = t.text == "template" ? TokenKind::Template : TokenKind::Word;
  return t;
}

std::string_view TextLexer::number_word(const char* what) {
  for (;;) {
    Token t = next();
    if (t.kind == TokenKind::Separator) continue;
    if (t.kind == TokenKind::Word) return t.text;
    if (t.kind == TokenKind::End) fail(std::string("the file ends where ") + what + " was expected", t.offset);
    fail(std::string("expected ") + what + ", found " +
             (t.kind == TokenKind::String ? shown(t.text) : token_kind_name(t.kind)),
         t.offset);
  }
}

size_t TextLexer::offset_of(std::string_view word) const {
  return static_cast<size_t>(word.data() - begin_) + base_;
}

uint32_t TextLexer::read_uint() {
  std::string_view w = number_word("a count or index");
  const char* b = w.data();
  const char* e = b + w.size();
  if (b < e && *b == '+') ++b;
  uint32_t v = 0;
  auto r = std::from_chars(b, e, v);
  if (r.ec == std::errc() && r.ptr == e) return v;
  // Some writers put integers as "3.000000".
  double d = 0;
  auto rd = read_double(b, e, d);
  if (rd.ec == std::errc() && rd.ptr == e && d >= 0 && d <= 4294967295.0 && d == std::floor(d))
    return static_cast<uint32_t>(d);
  fail("expected a count or index, found " + shown(w), offset_of(w));
}

float TextLexer::read_float() {
  std::string_view w = number_word("a number");
  const char* b = w.data();
  const char* e = b + w.size();
  if (b < e && *b == '+') ++b;
  double d = 0;
  auto r = read_double(b, e, d);
  if (r.ec == std::errc::result_out_of_range) return 0.0f;
  if (r.ec != std::errc()) fail("expected a number, found " + shown(w), offset_of(w));
  if (r.ptr != e) {
    // "1.#QNAN0", "-1.#IND00": a value the writer could not print; read as 0.
    if (*r.ptr == '#') return 0.0f;
    fail("expected a number, found " + shown(w), offset_of(w));
  }
  if (!std::isfinite(d) || std::fabs(d) > 3.0e38) return 0.0f;
  return static_cast<float>(d);
}

std::string TextLexer::read_string() {
  for (;;) {
    Token t = next();
    if (t.kind == TokenKind::Separator) continue;
    if (t.kind == TokenKind::String || t.kind == TokenKind::Word) return std::string(t.text);
    fail(std::string("expected a string, found ") + token_kind_name(t.kind), t.offset);
  }
}

std::string TextLexer::where(size_t at) const {
  size_t local = at >= base_ ? at - base_ : 0;
  local = std::min(local, static_cast<size_t>(end_ - begin_));
  // The 16-byte header shares the first line with the text after it.
  size_t line = 1 + static_cast<size_t>(std::count(begin_, begin_ + local, '\n'));
  return "line " + std::to_string(line);
}

void TextLexer::fail(const std::string& what, size_t at) const {
  throw ParseError(what + " (" + where(at) + ")");
}

// ---------------------------------------------------------------- binary

namespace {
enum : uint16_t {
  kName = 1, kString = 2, kInteger = 3, kGuid = 5, kIntegerList = 6, kFloatList = 7,
  kOpenBrace = 10, kCloseBrace = 11, kComma = 19, kSemicolon = 20, kTemplate = 31,
};
bool is_plain_code(uint16_t c) { return (c >= 12 && c <= 20) || (c >= 40 && c <= 52); }
}  // namespace

uint16_t BinaryLexer::word() {
  if (end_ - p_ < 2) fail("the file ends inside a token");
  return take<uint16_t>();
}

uint32_t BinaryLexer::dword() {
  if (end_ - p_ < 4) fail("the file ends inside a token");
  return take<uint32_t>();
}

bool BinaryLexer::open_list(uint16_t code, size_t at) {
  if (code == kInteger) {
    if (end_ - p_ < 4) fail("the file ends inside a number", at);
    left_ = 1;
    list_floats_ = false;
    return true;
  }
  if (code != kIntegerList && code != kFloatList) return false;
  uint32_t n = dword();
  size_t size = code == kFloatList ? static_cast<size_t>(float_size_) : 4;
  if (n > remaining() / size)
    fail("a list of " + std::to_string(n) + " numbers is longer than the data left", at);
  left_ = n;
  list_floats_ = code == kFloatList;
  return true;
}

void BinaryLexer::start_list() {
  for (;;) {
    size_t at = offset();
    if (p_ == end_) fail("the file ends where a number was expected");
    uint16_t code = word();
    if (code == kComma || code == kSemicolon) continue;
    if (!open_list(code, at)) {
      p_ -= 2;
      Token t = peek();
      fail(std::string("expected a number, found ") + token_kind_name(t.kind), at);
    }
    if (left_ > 0) return;
  }
}

void BinaryLexer::read_floats(float* out, size_t n) {
  while (n > 0) {
    if (left_ == 0) start_list();
    if (!list_floats_ || float_size_ != 4) {
      *out++ = read_float();
      --n;
      continue;
    }
    size_t take = std::min<size_t>(n, left_);
    std::memcpy(out, p_, take * 4);
    p_ += take * 4;
    out += take;
    n -= take;
    left_ -= static_cast<uint32_t>(take);
  }
}

void BinaryLexer::skip_list(Token& t) {
  t.kind = TokenKind::Numbers;
  t.count = left_;
  p_ += static_cast<size_t>(left_) * (list_floats_ ? static_cast<size_t>(float_size_) : 4);
  left_ = 0;
}

Token BinaryLexer::next() {
  Token t;
  if (left_ > 0) {  // numbers the parser did not ask for
    t.offset = offset();
    skip_list(t);
    return t;
  }
  t.offset = offset();
  if (p_ == end_) return t;
  uint16_t code = word();
  switch (code) {
    case kName:
    case kString: {
      uint32_t n = dword();
      if (n > remaining()) fail("a name of " + std::to_string(n) + " bytes is longer than the data left", t.offset);
      t.text = std::string_view(reinterpret_cast<const char*>(p_), n);
      p_ += n;
      // Names may carry a terminating zero; strings end with a separator token.
      while (!t.text.empty() && t.text.back() == '\0') t.text.remove_suffix(1);
      if (code == kString) {
        if (end_ - p_ >= 2) {
          uint16_t sep;
          std::memcpy(&sep, p_, 2);
          if (sep == kComma || sep == kSemicolon) p_ += 2;
        }
        t.kind = TokenKind::String;
      } else {
        t.kind = TokenKind::Word;
      }
      return t;
    }
    case kGuid:
      if (end_ - p_ < 16) fail("the file ends inside an id", t.offset);
      p_ += 16;
      t.kind = TokenKind::Guid;
      return t;
    case kOpenBrace: t.kind = TokenKind::OpenBrace; return t;
    case kCloseBrace: t.kind = TokenKind::CloseBrace; return t;
    case kComma: case kSemicolon: t.kind = TokenKind::Separator; return t;
    case kTemplate: t.kind = TokenKind::Template; return t;
    default:
      break;
  }
  if (open_list(code, t.offset)) {
    skip_list(t);
    return t;
  }
  if (is_plain_code(code)) {
    t.kind = TokenKind::Other;
    return t;
  }
  fail("unknown binary token " + std::to_string(code), t.offset);
}

std::string BinaryLexer::read_string() {
  for (;;) {
    if (left_ > 0) fail("expected a string, found numbers");
    Token t = next();
    if (t.kind == TokenKind::Separator) continue;
    if (t.kind == TokenKind::String || t.kind == TokenKind::Word) return std::string(t.text);
    fail(std::string("expected a string, found ") + token_kind_name(t.kind), t.offset);
  }
}

std::string BinaryLexer::where(size_t at) const {
  return (inflated_ ? "byte " + std::to_string(at) + " of the inflated data" : "byte " + std::to_string(at));
}

void BinaryLexer::fail(const std::string& what, size_t at) const {
  throw ParseError(what + " (" + where(at) + ")");
}

}  // namespace quarvel::xfile
