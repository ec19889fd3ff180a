#pragma once
// One line of the runner's trace (JSON Lines) as the tests read it back:
// the text of each top-level value by key, in the line's order.
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace quarvel::test {

class TraceLine {
 public:
  explicit TraceLine(const std::string& line) {
    size_t i = 0;
    while ((i = line.find('"', i)) != std::string::npos) {
      const size_t close = line.find("\":", i + 1);
      if (close == std::string::npos) break;
      const size_t start = close + 2;
      size_t end = start;
      int depth = 0;
      bool quoted = false;
      for (; end < line.size(); ++end) {
        const char c = line[end];
        if (quoted) {
          quoted = c != '"';
        } else if (c == '"') {
          quoted = true;
        } else if (c == '[' || c == '{') {
          ++depth;
        } else if ((c == ']' || c == '}' || c == ',') && depth == 0) {
          break;
        } else if (c == ']' || c == '}') {
          --depth;
        }
      }
      values_.emplace_back(line.substr(i + 1, close - i - 1), line.substr(start, end - start));
      i = end;
    }
  }

  std::vector<std::string> keys() const {
    std::vector<std::string> out;
    for (const auto& [key, value] : values_) out.push_back(key);
    return out;
  }
  bool has(const std::string& key) const {
    for (const auto& kv : values_)
      if (kv.first == key) return true;
    return false;
  }
  // The value's text: a number, true, a string with its quotes, or a whole
  // [...] or {...}; empty when the line has no such key.
  std::string operator[](const std::string& key) const {
    for (const auto& [k, value] : values_)
      if (k == key) return value;
    return {};
  }
  double number(const std::string& key) const { return std::strtod((*this)[key].c_str(), nullptr); }
  // Every number in the value, in order.
  std::vector<double> numbers(const std::string& key) const { return numbers_in((*this)[key]); }
  // The scene clock.
  float clock() const { return static_cast<float>(number("horloge")); }
  bool built(const std::string& builder) const {
    return (*this)["built"].find("\"" + builder + "\"") != std::string::npos;
  }
  // One channel ("r", "g" or "b") of the gamma ramp; empty when the line has none.
  std::vector<double> gamma(const std::string& channel) const {
    const std::string g = (*this)["gamma"];
    const size_t at = g.find("\"" + channel + "\":[");
    if (at == std::string::npos) return {};
    const size_t from = at + channel.size() + 3;
    return numbers_in(g.substr(from, g.find(']', from) - from + 1));
  }

 private:
  static std::vector<double> numbers_in(const std::string& text) {
    std::vector<double> out;
    const char* p = text.c_str();
    while (*p) {
      if (*p == '-' || (*p >= '0' && *p <= '9')) {
        char* end = nullptr;
        out.push_back(std::strtod(p, &end));
        p = end;
      } else {
        ++p;
      }
    }
    return out;
  }

  std::vector<std::pair<std::string, std::string>> values_;
};

}  // namespace quarvel::test
