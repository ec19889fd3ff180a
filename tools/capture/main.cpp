// quarvel-capture: the show (or a test scene, or a model) headless.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "capture.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  std::vector<std::string> args(argv + 1, argv + argc);
  quarvel::capture::Options opt;
  std::string error;
  bool help = false;
  if (!quarvel::capture::take_show_options(args, opt.show_run, error) ||
      !quarvel::capture::parse_options(args, opt, error, help)) {
    std::fprintf(stderr, "quarvel-capture: %s\n%s%s", error.c_str(), quarvel::capture::usage(),
                 quarvel::capture::show_usage());
    return 2;
  }
  if (help) {
    std::fputs(quarvel::capture::usage(), stdout);
    std::fputs(quarvel::capture::show_usage(), stdout);
    return 0;
  }
  return quarvel::capture::run(opt);
}
