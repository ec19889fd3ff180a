#pragma once
// The headless runner's input script: one event a line, played into the form
// before the tick it names.
//
//   TICK down KEY | TICK up KEY
//   TICK mouse DX DY
//   TICK button left|right down|up
//   TICK click X Y
//
// KEY is a virtual-key number (1..255) or a name (see key_code). "#" starts
// a comment; blank lines are skipped. Events of one tick keep their order.
#include <cstddef>
#include <string>
#include <vector>

namespace quarvel::capture {

struct ScriptEvent {
  enum class Kind { KeyDown, KeyUp, Mouse, Button, Click };
  int tick = 0;
  Kind kind = Kind::KeyDown;
  int a = 0, b = 0;   // key; dx, dy; button (0 left, 1 right); x, y
  bool down = false;  // for Button
  int line = 0;       // where it came from
};

struct InputScript {
  // Sorted by tick, file order kept within a tick.
  std::vector<ScriptEvent> events;
};

// The virtual-key code of a key name (case-insensitive) or number; -1 when
// it is neither.
int key_code(const std::string& name);

// Parses `text`; on a bad line returns false with "FILE:LINE: problem".
bool parse_input_script(const std::string& text, const std::string& file, InputScript& out, std::string& error);
// The largest input script read, in bytes.
inline constexpr size_t kMaxInputScriptBytes = size_t{16} << 20;

// Reads and parses a file; an unreadable file, one that is not a regular
// file (a device, a pipe) or one larger than kMaxInputScriptBytes is an
// error too.
bool load_input_script(const std::string& path, InputScript& out, std::string& error);

}  // namespace quarvel::capture
