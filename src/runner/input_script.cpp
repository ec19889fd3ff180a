#include "runner/input_script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace quarvel::runner {
namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A script's word as an error line shows it: at most 32 bytes (then "..."),
// each byte outside printable ASCII as \xNN, so a huge or binary word
// still makes one short line.
std::string shown(const std::string& word) {
  constexpr size_t kShown = 32;
  std::string out;
  for (size_t i = 0; i < word.size() && i < kShown; ++i) {
    const auto c = static_cast<unsigned char>(word[i]);
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  if (word.size() > kShown) out += "...";
  return out;
}

bool parse_int(const std::string& s, long long lo, long long hi, int& v) {
  long long x = 0;
  const auto r = std::from_chars(s.data(), s.data() + s.size(), x);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || x < lo || x > hi) return false;
  v = static_cast<int>(x);
  return true;
}

struct Named {
  const char* name;
  int code;
};
constexpr Named kNames[] = {
    {"esc", 27},      {"enter", 13},    {"tab", 9},          {"backspace", 8},  {"space", 32},
    {"shift", 16},    {"home", 36},     {"end", 35},         {"pageup", 33},    {"pagedown", 34},
    {"insert", 45},   {"delete", 46},   {"numplus", 107},    {"numminus", 109}, {"numstar", 42},
    {"numslash", 111}, {"period", 46},
};

}  // namespace

int key_code(const std::string& name) {
  int n = 0;
  if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
    if (name.size() == 1) return name[0];  // the digit keys 0..9
    return parse_int(name, 1, 255, n) ? n : -1;
  }
  const std::string k = lower(name);
  if (k.size() == 1 && k[0] >= 'a' && k[0] <= 'z') return std::toupper(static_cast<unsigned char>(k[0]));
  for (const Named& e : kNames)
    if (k == e.name) return e.code;
  if (k.size() >= 2 && k[0] == 'f' && parse_int(k.substr(1), 1, 12, n)) return 111 + n;
  if (k.size() == 4 && k.rfind("num", 0) == 0 && std::isdigit(static_cast<unsigned char>(k[3]))) return 96 + (k[3] - '0');
  return -1;
}

bool parse_input_script(const std::string& text, const std::string& file, InputScript& out, std::string& error) {
  out.events.clear();
  std::istringstream in(text);
  std::string raw;
  int line_no = 0;
  auto fail = [&](const std::string& problem) {
    error = file + ":" + std::to_string(line_no) + ": " + problem;
    return false;
  };
  while (std::getline(in, raw)) {
    ++line_no;
    if (const size_t hash = raw.find('#'); hash != std::string::npos) raw.erase(hash);
    std::istringstream words(raw);
    std::vector<std::string> w;
    for (std::string t; words >> t;) w.push_back(t);
    if (w.empty()) continue;
    InputEvent e;
    e.line = line_no;
    if (!parse_int(w[0], 0, 100000000, e.tick)) return fail("not a tick number: " + shown(w[0]));
    if (w.size() < 2) return fail("an event is missing after the tick");
    const std::string verb = lower(w[1]);
    auto want = [&](size_t n, const char* form) {
      if (w.size() != n) {
        fail(std::string("expected \"") + form + "\"");
        return false;
      }
      return true;
    };
    if (verb == "down" || verb == "up") {
      if (!want(3, "TICK down|up KEY")) return false;
      e.kind = verb == "down" ? InputEvent::Kind::KeyDown : InputEvent::Kind::KeyUp;
      e.a = key_code(w[2]);
      if (e.a < 0) return fail("unknown key: " + shown(w[2]));
    } else if (verb == "mouse") {
      if (!want(4, "TICK mouse DX DY")) return false;
      e.kind = InputEvent::Kind::Mouse;
      if (!parse_int(w[2], -100000, 100000, e.a) || !parse_int(w[3], -100000, 100000, e.b))
        return fail("mouse movement must be two whole numbers");
    } else if (verb == "button") {
      if (!want(4, "TICK button left|right down|up")) return false;
      e.kind = InputEvent::Kind::Button;
      const std::string which = lower(w[2]), how = lower(w[3]);
      if (which != "left" && which != "right") return fail("unknown button: " + shown(w[2]));
      if (how != "down" && how != "up") return fail("a button goes down or up, not: " + shown(w[3]));
      e.a = which == "left" ? 0 : 1;
      e.down = how == "down";
    } else if (verb == "click") {
      if (!want(4, "TICK click X Y")) return false;
      e.kind = InputEvent::Kind::Click;
      if (!parse_int(w[2], 0, 639, e.a) || !parse_int(w[3], 0, 479, e.b))
        return fail("click position must be a picture pixel (X 0..639, Y 0..479)");
    } else if (verb == "pause") {
      if (!want(3, "TICK pause FRAMES")) return false;
      e.kind = InputEvent::Kind::Pause;
      if (!parse_int(w[2], 1, 100000000, e.a)) return fail("a pause lasts 1 to 100000000 frames");
    } else {
      return fail("unknown event: " + shown(w[1]));
    }
    out.events.push_back(e);
  }
  std::stable_sort(out.events.begin(), out.events.end(),
                   [](const InputEvent& x, const InputEvent& y) { return x.tick < y.tick; });
  return true;
}

bool load_input_script(const std::string& path, InputScript& out, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (fs::is_directory(st)) {
    error = path + ": is a folder, not an input script";
    return false;
  }
  if (fs::exists(st) && !fs::is_regular_file(st)) {
    error = path + ": not a regular file, not an input script";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot read the input script";
    return false;
  }
  // Read in pieces, stopping as soon as the file is known to be too large.
  std::string text;
  char piece[65536];
  while (in.read(piece, sizeof piece) || in.gcount() > 0) {
    text.append(piece, static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxInputScriptBytes) {
      error = path + ": larger than 16 MB, too large for an input script";
      return false;
    }
  }
  if (in.bad()) {
    error = path + ": cannot read the input script";
    return false;
  }
  return parse_input_script(text, path, out, error);
}

}  // namespace quarvel::runner
