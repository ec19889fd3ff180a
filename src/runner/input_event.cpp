#include "runner/input_event.h"

#include "app/main_form.h"

namespace quarvel::runner {
namespace {

constexpr int kAltKey = 18;

}  // namespace

void deliver(app::TMainForm& form, const InputEvent& e) {
  switch (e.kind) {
    case InputEvent::Kind::KeyDown:
      form.raw_input.press(e.a);
      form.FormKeyDown(e.a, e.alt || form.raw_input.keys[kAltKey]);
      break;
    case InputEvent::Kind::KeyUp:
      form.raw_input.release(e.a);
      break;
    case InputEvent::Kind::Mouse:
      form.raw_input.mouse_dx += e.a;
      form.raw_input.mouse_dy += e.b;
      break;
    case InputEvent::Kind::Button:
      if (e.a >= 0 && static_cast<size_t>(e.a) < form.raw_input.buttons.size())
        form.raw_input.buttons[static_cast<size_t>(e.a)] = e.down;
      break;
    case InputEvent::Kind::Click:
      form.FormMouseDown(e.button, e.a, e.b);
      break;
    case InputEvent::Kind::Focus:
      form.idle_loop.set_active(e.down);
      if (!e.down) form.raw_input = {};
      break;
    case InputEvent::Kind::Pause:
      break;
  }
}

}  // namespace quarvel::runner
