#include "platform/display/display_lost.h"

#include <unistd.h>

#include <cstring>

namespace quarvel::display {

void display_went_away() {
  // write() and _exit() only: this runs inside Xlib's error handler, with the
  // program stopped in the middle of any call into the display.
  const size_t n = std::strlen(kDisplayLostLine);
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kDisplayLostLine, n);
  ::_exit(1);
}

}  // namespace quarvel::display
