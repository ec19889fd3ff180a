#pragma once
// The options of a show run that the headless runner and the page share:
// how many ticks, at what virtual pace, which pictures, the input script and
// the trace; with the one reader of them from a command line and the number
// helpers every option of ours goes through.
#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quarvel::runner {

inline constexpr int kMaxTicks = 100000000;
// Without --ticks the show runs until the form closes, at most this long.
inline constexpr int kTickCap = 100000;

struct RunOptions {
  int ticks = 100;                     // --ticks N
  bool ticks_given = false;            // --ticks was on the command line
  std::set<int> png_at;                // --png-at: tick indices (0-based) whose picture is wanted
  double ms_per_tick = 1000.0 / 60.0;  // virtual milliseconds between ticks
  std::string input;                   // --input FILE (absolute), or empty
  std::string trace;                   // --trace FILE (absolute), "-", or empty
  int from = 0;                        // --from TICK: ticks before it are neither rendered nor presented
  bool trace_operator = false;         // --trace-operator: the operator's keys in the trace
  bool split_render = false;           // --split-render: each tick waits for its 3D render's GPU work
  bool draw = true;                    // false: frames listed but not drawn, no GL (quarvel-capture --no-pictures)
  int scene = 0;                       // --scene: run without rendering up to this chapter's first tick (1..6; 0 none)
  std::string look = "sharp";          // --look NAME: sharp, original or smooth
};

// One option of a program, as its command line (and, for the window
// program, its configuration file) gives it.
struct OptionSpec {
  enum class Takes { Nothing, Value, MaybeValue };
  using Read = std::function<bool(const std::optional<std::string>& value, std::string& error)>;
  OptionSpec(std::string name_, Takes takes_, Read read_, std::string group_ = {})
      : name(std::move(name_)), takes(takes_), read(std::move(read_)), group(std::move(group_)) {}

  std::string name;  // "--ticks"; in a configuration file the key is the name without its dashes
  Takes takes = Takes::Value;
  // Reads the option: its value, or none for a flag (and a --window without
  // its =WxH). False with `error` when the value is refused.
  Read read;
  // Options of one group set the same thing (--window, --fullscreen): a
  // configuration file's line for it is skipped once the command line set
  // any of them.
  std::string group;
};

// "NAME: must be LO to HI".
std::string range_error(const std::string& name, long long lo, long long hi);

// Reads `text` as a whole number from `lo` to `hi`. Otherwise `error` says
// what `name` (the option) must be and false is returned; `out` is unchanged.
bool parse_int_in(const std::string& name, const std::string& text, int lo, int hi, int& out, std::string& error);

// The same for a decimal number; with `above_lo`, `lo` itself is refused
// ("NAME: must be above LO and at most HI").
bool parse_number_in(const std::string& name, const std::string& text, double lo, double hi, double& out,
                     std::string& error, bool above_lo = false);

// The value of the option at args[i]: the next argument (i moves onto it),
// or false with "OPTION needs a value" when there is none.
bool option_value(const std::vector<std::string>& args, size_t& i, std::string& out, std::string& error);
// The same read as a whole number from `lo` to `hi` (parse_int_in).
bool option_int(const std::vector<std::string>& args, size_t& i, int lo, int hi, int& out, std::string& error);

// The run options as a table, reading into `opt`.
std::vector<OptionSpec> run_option_specs(RunOptions& opt);

// Reads `name` as a look (sharp, original or smooth) into `look`; false
// with "--look NAME: no such look (...)" in `error`.
bool read_look(const std::string& name, std::string& look, std::string& error);

enum class OptionRead { NotMine, Read, Bad };

// Reads the run option at args[i] (and its value, moving i past it). NotMine
// when args[i] is no run option; Bad with `error` when its value is.
OptionRead read_run_option(const std::vector<std::string>& args, size_t& i, RunOptions& opt, std::string& error);

// The checks between run options once all are read: a picture or a --from
// beyond the last tick (unless `open_ended`: the show runs to its end), a
// picture before --from.
bool check_run_options(const RunOptions& opt, bool open_ended, std::string& error);

// The usage lines of the show run's options (--ms-per-tick, --input,
// --trace, --trace-operator, --split-render, --look).
const char* run_usage();

}  // namespace quarvel::runner
