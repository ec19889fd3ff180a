// The desktop's error report: the text on standard error and in a message
// box, then the process ends with the status.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "app/music_startup.h"

namespace quarvel::app {

ErrorReportHooks default_error_report_hooks() {
  ErrorReportHooks hooks;
  hooks.show = [](const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    // Modal until dismissed; without a display it fails and the text above
    // is all the user gets.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption.c_str(), text.c_str(), nullptr);
  };
  hooks.exit = [](int status) { std::exit(status); };
  return hooks;
}

}  // namespace quarvel::app
