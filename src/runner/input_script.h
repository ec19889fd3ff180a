#pragma once
// An input script: one event a line, played into the form
// before the tick it names.
//
//   TICK down KEY | TICK up KEY
//   TICK mouse DX DY
//   TICK button left|right down|up
//   TICK click X Y
//   TICK pause FRAMES   (the player pauses before the tick for FRAMES
//                        frames of the runner, then plays on)
//
// KEY is a virtual-key number (1..255) or a name (see key_code). "#" starts
// a comment; blank lines are skipped. Events of one tick keep their order.
#include <cstddef>
#include <string>
#include <vector>

#include "runner/input_event.h"

namespace quarvel::runner {

struct InputScript {
  // Sorted by tick, file order kept within a tick; a click is the left
  // button's.
  std::vector<InputEvent> events;
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

}  // namespace quarvel::runner
