// Feeds arbitrary text to the runner's input-script parser. Any
// crash, hang, leak or sanitizer report is a bug; so is a refusal that is
// not one "FILE:LINE: problem" line, or an accepted event out of its range
// or out of tick order.
#include <cstddef>
#include <cstdint>
#include <string>

#include "runner/input_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using quarvel::runner::InputEvent;
  const std::string text(reinterpret_cast<const char*>(data), size);
  quarvel::runner::InputScript script;
  std::string error;
  if (!quarvel::runner::parse_input_script(text, "fuzz.txt", script, error)) {
    if (error.rfind("fuzz.txt:", 0) != 0 || error.find('\n') != std::string::npos) __builtin_trap();
    return 0;
  }
  int last_tick = 0;
  for (const InputEvent& e : script.events) {
    if (e.tick < last_tick || e.tick > 100000000 || e.line < 1) __builtin_trap();
    last_tick = e.tick;
    switch (e.kind) {
      case InputEvent::Kind::KeyDown:
      case InputEvent::Kind::KeyUp:
        if (e.a < 1 || e.a > 255) __builtin_trap();
        break;
      case InputEvent::Kind::Click:
        if (e.a < 0 || e.a > 639 || e.b < 0 || e.b > 479) __builtin_trap();
        break;
      case InputEvent::Kind::Button:
        if (e.a != 0 && e.a != 1) __builtin_trap();
        break;
      case InputEvent::Kind::Mouse:
        if (e.a < -100000 || e.a > 100000 || e.b < -100000 || e.b > 100000) __builtin_trap();
        break;
      case InputEvent::Kind::Focus:
        __builtin_trap();  // no line of a script is a focus change
    }
  }
  return 0;
}
