// Feeds arbitrary command lines to the headless runner's option parser:
// the input is split into arguments at each zero byte. Any crash, hang,
// leak or sanitizer report is a bug; so is a refusal without a message, or
// an accepted command line whose values are out of their ranges.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture.h"
#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using quarvel::capture::Options;
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  if (size == 0) args.clear();
  Options opt;
  std::string error;
  bool help = false;
  if (!quarvel::capture::parse_options(args, opt, error, help)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (help) return 0;
  if (opt.show_run.ticks < 1 || opt.show_run.ticks > quarvel::capture::kMaxTicks || opt.scale < 1 || opt.scale > 8 ||
      opt.detail < 1 || opt.detail > 8 || opt.png_every < 0 || opt.show_run.from < 0 ||
      !(opt.show_run.ms_per_tick > 0.0) || opt.show_run.ms_per_tick > 60000.0 || !(opt.anim_step >= -1000.0f) ||
      opt.anim_step > 1000.0f) {
    __builtin_trap();
  }
  if (!opt.show_run.png_at.empty() && (*opt.show_run.png_at.begin() < opt.show_run.from || *opt.show_run.png_at.begin() < 0)) __builtin_trap();
  return 0;
}
