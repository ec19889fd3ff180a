#pragma once
// Input as every way of running the show hands it to the form: the window
// turns its SDL events into these, the page its browser events, the
// headless runner its input script's lines. One delivery (deliver) gives
// them to the form, between two ticks, the same way for all three.
namespace quarvel::app {
class TMainForm;
}

namespace quarvel::runner {

struct InputEvent {
  enum class Kind { KeyDown, KeyUp, Mouse, Button, Click, Focus, Pause };
  int tick = 0;       // an input script's tick (the others deliver at once)
  Kind kind = Kind::KeyDown;
  int a = 0, b = 0;   // key; dx, dy; button (0 left, 1 right, 2 middle); x, y of a click; frames of a pause
  bool down = false;  // a button pressed; the focus gained
  bool alt = false;   // a key pressed with Alt held (the window's and the page's own report)
  int button = 0;     // the button of a click
  int line = 0;       // an input script's line it came from
};

// Gives one event to the form: a key press reaches the form's key handler
// (with Alt as the event says or as the held keys have it) and the held
// keys the next tick reads; mouse movement adds up until the next tick; a
// click picks at a picture pixel; losing the focus pauses the frame timer
// and lets go of every key and button (released while away, they would
// stay down), gaining it starts the timer again. A pause is the runner's
// (see Player): the form is not told.
void deliver(app::TMainForm& form, const InputEvent& e);

}  // namespace quarvel::runner
