#include "runner/run_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/common/number_text.h"
#include "platform/render/look.h"

namespace quarvel::runner {
namespace {

std::string number_text(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

}  // namespace

std::string range_error(const std::string& name, long long lo, long long hi) {
  return name + ": must be " + std::to_string(lo) + " to " + std::to_string(hi);
}

bool parse_int_in(const std::string& name, const std::string& text, int lo, int hi, int& out, std::string& error) {
  long long v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
    error = name + ": not a whole number: " + text;
    return false;
  }
  if (ec == std::errc::result_out_of_range || v < lo || v > hi) {
    error = range_error(name, lo, hi);
    return false;
  }
  out = static_cast<int>(v);
  return true;
}

bool parse_number_in(const std::string& name, const std::string& text, double lo, double hi, double& out,
                     std::string& error, bool above_lo) {
  double v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = read_double(text.data(), end, v);
  if (text.empty() || ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
    error = name + ": not a number: " + text;
    return false;
  }
  if (ec == std::errc::result_out_of_range || !std::isfinite(v) || v < lo || (above_lo && v == lo) || v > hi) {
    error = name + ": must be " + (above_lo ? "above " + number_text(lo) + " and at most " : number_text(lo) + " to ") +
            number_text(hi);
    return false;
  }
  out = v;
  return true;
}

bool option_value(const std::vector<std::string>& args, size_t& i, std::string& out, std::string& error) {
  if (i + 1 >= args.size()) {
    error = args[i] + " needs a value";
    return false;
  }
  out = args[++i];
  return true;
}

bool option_int(const std::vector<std::string>& args, size_t& i, int lo, int hi, int& out, std::string& error) {
  const std::string name = args[i];
  std::string s;
  return option_value(args, i, s, error) && parse_int_in(name, s, lo, hi, out, error);
}

std::vector<OptionSpec> run_option_specs(RunOptions& opt) {
  using Takes = OptionSpec::Takes;
  using Value = std::optional<std::string>;
  std::vector<OptionSpec> specs;
  auto whole = [&](const char* name, int& out, int lo, int hi, bool* given = nullptr) {
    specs.push_back({name, Takes::Value, [name, &out, lo, hi, given](const Value& v, std::string& error) {
                       if (given) *given = true;
                       return parse_int_in(name, *v, lo, hi, out, error);
                     }});
  };
  auto flag = [&](const char* name, bool& out) {
    specs.push_back({name, Takes::Nothing, [&out](const Value&, std::string&) { return out = true; }});
  };
  whole("--ticks", opt.ticks, 1, kMaxTicks, &opt.ticks_given);
  specs.push_back({"--png-at", Takes::Value, [&opt](const Value& v, std::string& error) {
                     const std::string& s = *v;
                     size_t start = 0;
                     while (start <= s.size()) {
                       const size_t comma = s.find(',', start);
                       const std::string part =
                           s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                       int k = 0;
                       if (!parse_int_in("--png-at", part, 0, kMaxTicks - 1, k, error)) return false;
                       opt.png_at.insert(k);
                       if (comma == std::string::npos) break;
                       start = comma + 1;
                     }
                     return true;
                   }});
  whole("--from", opt.from, 0, kMaxTicks - 1);
  specs.push_back({"--ms-per-tick", Takes::Value, [&opt](const Value& v, std::string& error) {
                     return parse_number_in("--ms-per-tick", *v, 0.0, 60000.0, opt.ms_per_tick, error, true);
                   }});
  for (const char* name : {"--input", "--trace"}) {
    specs.push_back({name, Takes::Value, [name, &opt](const Value& v, std::string& error) {
                       const std::string a = name;
                       if (v->empty()) {
                         error = a + " needs a file name";
                         return false;
                       }
                       // Made absolute now, so that entering the show folder does not move them.
                       std::string& out = a == "--input" ? opt.input : opt.trace;
                       out = (a == "--trace" && *v == "-") ? *v : std::filesystem::absolute(*v).string();
                       return true;
                     }});
  }
  flag("--trace-operator", opt.trace_operator);
  flag("--split-render", opt.split_render);
  specs.push_back({"--look", Takes::Value,
                   [&opt](const Value& v, std::string& error) { return read_look(*v, opt.look, error); }});
  return specs;
}

bool read_look(const std::string& name, std::string& look, std::string& error) {
  if (!render::look_from_name(name)) {
    error = "--look " + name + ": no such look (" + render::look_names() + ")";
    return false;
  }
  look = name;
  return true;
}

OptionRead read_run_option(const std::vector<std::string>& args, size_t& i, RunOptions& opt, std::string& error) {
  for (const OptionSpec& option : run_option_specs(opt)) {
    if (args[i] != option.name) continue;
    std::optional<std::string> value;
    if (option.takes == OptionSpec::Takes::Value) {
      std::string s;
      if (!option_value(args, i, s, error)) return OptionRead::Bad;
      value = s;
    }
    return option.read(value, error) ? OptionRead::Read : OptionRead::Bad;
  }
  return OptionRead::NotMine;
}

bool check_run_options(const RunOptions& opt, bool open_ended, std::string& error) {
  const std::string last = std::to_string(opt.ticks - 1);
  if (!open_ended && !opt.png_at.empty() && *opt.png_at.rbegin() >= opt.ticks) {
    error = "--png-at " + std::to_string(*opt.png_at.rbegin()) + ": beyond the last tick (ticks are 0 to " + last + ")";
    return false;
  }
  if (opt.ticks_given && opt.from >= opt.ticks) {
    error = "--from " + std::to_string(opt.from) + ": beyond the last tick (ticks are 0 to " + last + ")";
    return false;
  }
  if (!opt.png_at.empty() && *opt.png_at.begin() < opt.from) {
    error = "--png-at " + std::to_string(*opt.png_at.begin()) + ": before --from " + std::to_string(opt.from) +
            " (those ticks are not drawn)";
    return false;
  }
  return true;
}

const char* run_usage() {
  return "Show mode (the default) runs the show from the current folder (or --show DIR):\n"
         "  --ms-per-tick MS  virtual milliseconds between ticks (default 1000/60; fractions allowed)\n"
         "  --ticks N         run N ticks; without it the show runs until it ends (at most 100000 ticks)\n"
         "  --input FILE      play an input script into the form (see README, \"Input scripts\")\n"
         "  --trace FILE|-    write one JSON line per tick to FILE or standard output (README, \"Trace\")\n"
         "  --trace-operator  add the operator's keys (cam_auto, affiche_infos, vitesse, light) to the trace\n"
         "  --split-render    finish the 3D render's GPU work inside the render call, so that the timedemo's\n"
         "                    render_ms holds the 3D raster too (slower ticks: for measuring only)\n"
         "  --look NAME       sharp (the default), original (a 16-bit display of the time, dithered) or\n"
         "                    smooth (the 3D at twice the size, multisampled); the trace is the same in each\n";
}

}  // namespace quarvel::runner
