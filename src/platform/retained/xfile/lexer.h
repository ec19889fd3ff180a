#pragma once
// The two token readers of model files: text and binary. Both hand the
// parser the same tokens (words, strings, braces, separators...) and read
// numbers on request, so one parser serves both encodings.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quarvel::xfile {

// Raised inside the reader; read_file turns it into one error line.
struct ParseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

enum class TokenKind {
  End,         // no more data
  Word,        // a name, or in text a number as written
  String,      // a quoted string (text) or string token (binary)
  Guid,        // <...> in text, a 16-byte id in binary
  OpenBrace,
  CloseBrace,
  Separator,   // ',' or ';'
  Template,    // the template keyword
  Numbers,     // binary only: a list of integers or floats (count in `count`)
  Other,       // binary punctuation and type keywords used by templates
};

const char* token_kind_name(TokenKind k);

// Text from the file as error messages show it: quoted, at most 40
// characters, anything unprintable as '?'.
std::string shown(std::string_view s);

struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view text;  // Word and String
  uint32_t count = 0;     // Numbers
  size_t offset = 0;      // where the token starts, from the start of the file
};

// Text: whitespace, ',' and ';' separate; '#' and '//' start comments.
class TextLexer {
 public:
  // `base` is the offset of data[0] in the file (after the 16-byte header).
  TextLexer(const char* data, size_t size, size_t base = 0)
      : begin_(data), p_(data), end_(data + size), base_(base) {}

  Token next();
  Token peek() {
    const char* save = p_;
    Token t = next();
    p_ = save;
    return t;
  }
  uint32_t read_uint();
  float read_float();
  void read_floats(float* out, size_t n) {
    for (size_t i = 0; i < n; ++i) out[i] = read_float();
  }
  std::string read_string();

  size_t offset() const { return base_ + static_cast<size_t>(p_ - begin_); }
  size_t remaining() const { return static_cast<size_t>(end_ - p_); }
  static constexpr size_t kNumberBytes = 2;  // the shortest number: one digit and a separator
  // "line N" for an offset from the start of the file.
  std::string where(size_t offset) const;
  [[noreturn]] void fail(const std::string& what, size_t offset) const;
  [[noreturn]] void fail(const std::string& what) const { fail(what, offset()); }

 private:
  std::string_view number_word(const char* what);
  size_t offset_of(std::string_view word) const;  // where a word read from the data starts
  const char* begin_;
  const char* p_;
  const char* end_;
  size_t base_;
};

// Binary: 16-bit token codes, names and strings with 32-bit lengths, and
// numbers in lists of 32-bit integers or 32/64-bit floats.
class BinaryLexer {
 public:
  BinaryLexer(const uint8_t* data, size_t size, int float_bits, size_t base = 0, bool inflated = false)
      : begin_(data), p_(data), end_(data + size), base_(base),
        float_size_(float_bits == 64 ? 8 : 4), inflated_(inflated) {}

  Token next();
  Token peek() {
    State s = state();
    Token t = next();
    restore(s);
    return t;
  }
  uint32_t read_uint() {
    if (next_number_is_double()) {
      double d = take<double>();
      if (!(d >= 0 && d <= 4294967295.0)) fail("a float where a count or index was expected");
      return static_cast<uint32_t>(d);
    }
    return take<uint32_t>();
  }
  float read_float() {
    if (next_number_is_double()) return static_cast<float>(take<double>());
    return take<float>();
  }
  void read_floats(float* out, size_t n);
  std::string read_string();

  size_t offset() const { return base_ + static_cast<size_t>(p_ - begin_); }
  size_t remaining() const { return static_cast<size_t>(end_ - p_); }
  static constexpr size_t kNumberBytes = 4;
  std::string where(size_t offset) const;
  [[noreturn]] void fail(const std::string& what, size_t offset) const;
  [[noreturn]] void fail(const std::string& what) const { fail(what, offset()); }

 private:
  struct State {
    const uint8_t* p;
    uint32_t left;
    bool floats;
  };
  State state() const { return {p_, left_, list_floats_}; }
  void restore(State s) {
    p_ = s.p;
    left_ = s.left;
    list_floats_ = s.floats;
  }
  // The next value in the data; the caller has made sure it is there.
  template <class T>
  T take() {
    T v;
    std::memcpy(&v, p_, sizeof v);
    p_ += sizeof v;
    return v;
  }
  // Moves to the next number, opening the next list when this one is used
  // up; true when it is a 64-bit float.
  bool next_number_is_double() {
    if (left_ == 0) start_list();
    --left_;
    return list_floats_ && float_size_ == 8;
  }
  uint16_t word();
  uint32_t dword();
  void start_list();  // reads the next integer or float list token
  // Steps over the numbers left in the current list, as one Numbers token.
  void skip_list(Token& t);
  bool open_list(uint16_t code, size_t at);  // `at`: where the token starts

  const uint8_t* begin_;
  const uint8_t* p_;
  const uint8_t* end_;
  size_t base_;
  int float_size_;
  bool inflated_;
  uint32_t left_ = 0;        // numbers left in the current list
  bool list_floats_ = false; // the current list holds floats
};

}  // namespace quarvel::xfile
