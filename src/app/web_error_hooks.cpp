// The page's error report: the text on the console, which the page shows;
// the show then stops by unwinding to the page's main loop, which ends it
// with the status (the page has no process to end).
#include <cstdio>

#include "app/music_startup.h"

namespace quarvel::app {

ErrorReportHooks default_error_report_hooks() {
  ErrorReportHooks hooks;
  hooks.show = [](const std::string&, const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  };
  hooks.exit = [](int status) { throw ShowExit{status}; };
  return hooks;
}

}  // namespace quarvel::app
