#pragma once
// The end of the program when its display goes away under it: the X server
// or the Wayland compositor closed the connection, so no window can be shown
// again and nothing of the show can be saved through it.

namespace quarvel::display {

// The one line said on standard error.
inline constexpr const char* kDisplayLostLine = "quarvel: the display went away\n";

// Writes kDisplayLostLine to standard error and ends the process at once with
// status 1. No destructor, exit hook or buffered stream runs: nothing of the
// show (the light file, the music's state) is written on the way out, and a
// call into the dead display cannot hang the exit.
[[noreturn]] void display_went_away();

}  // namespace quarvel::display
