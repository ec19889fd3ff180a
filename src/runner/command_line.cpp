#include "runner/command_line.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quarvel::runner {
namespace {

// What an option's own reading refused, carried out of CLI11's parse.
struct Refused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

const std::string& group_of(const OptionSpec& entry) { return entry.group.empty() ? entry.name : entry.group; }

// "true"/"false" (also on/off, yes/no, 1/0) of a flag's line.
bool read_flag_word(const std::string& text, bool& on) {
  for (const char* yes : {"true", "on", "yes", "1"})
    if (text == yes) return on = true;
  for (const char* no : {"false", "off", "no", "0"})
    if (text == no) {
      on = false;
      return true;
    }
  return false;
}

}  // namespace

bool parse_command_line(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
                        std::set<std::string>& given, std::string& error) {
  CLI::App app;
  app.set_help_flag();  // --help is an option of the program's own
  app.allow_extras();
  for (const OptionSpec& entry : specs) {
    auto read = [&entry, &given](const std::optional<std::string>& value) {
      std::string problem;
      if (!entry.read(value, problem)) throw Refused(problem);
      given.insert(group_of(entry));
    };
    CLI::Option* option = nullptr;
    switch (entry.takes) {
      case OptionSpec::Takes::Nothing:
        option = app.add_flag_function(entry.name, [read](std::int64_t) { read(std::nullopt); });
        break;
      case OptionSpec::Takes::Value:
        option = app.add_option_function<std::string>(entry.name, [read](const std::string& v) { read(v); });
        break;
      case OptionSpec::Takes::MaybeValue:
        option = app.add_option(entry.name, [read](const CLI::results_t& r) {
                       read(r.empty() || r.front().empty() ? std::nullopt : std::optional<std::string>(r.front()));
                       return true;
                     })
                     ->expected(0, 1);
        break;
    }
    // Each occurrence is read when it comes, so refusals come in the
    // command line's order; a repeated option reads again (the last wins).
    option->trigger_on_parse()->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  }
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const Refused& e) {
    error = e.what();
    return false;
  } catch (const CLI::ArgumentMismatch& e) {
    // "--ticks: 1 required TEXT missing": the option's name comes first.
    const std::string what = e.what();
    error = what.substr(0, what.find(':')) + " needs a value";
    return false;
  } catch (const CLI::ParseError& e) {
    error = e.what();
    return false;
  }
  const std::vector<std::string> extra = app.remaining();
  if (!extra.empty()) {
    error = "unknown argument: " + extra.front();
    return false;
  }
  return true;
}

bool read_config_file(const std::string& path, const std::vector<OptionSpec>& specs,
                      const std::set<std::string>& given, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot read the configuration file";
    return false;
  }
  const CLI::ConfigTOML reader;
  std::string line;
  int line_no = 0;
  while (std::getline(in, line)) {
    ++line_no;
    // One line at a time through the reader, so that a refusal names its line.
    std::istringstream one(line);
    std::vector<CLI::ConfigItem> items;
    try {
      items = reader.from_config(one);
    } catch (const CLI::ParseError& e) {
      error = path + ":" + std::to_string(line_no) + ": " + e.what();
      return false;
    }
    for (const CLI::ConfigItem& item : items) {
      const std::string key = item.fullname();
      auto fail = [&](const std::string& problem) {
        error = path + ":" + std::to_string(line_no) + ": " + key + ": " + problem;
        return false;
      };
      if (!item.parents.empty() || item.name == "++" || item.name == "--") {
        error = path + ":" + std::to_string(line_no) + ": sections are not read; keys go at the top";
        return false;
      }
      const OptionSpec* entry = nullptr;
      for (const OptionSpec& s : specs)
        if (s.name == "--" + key) entry = &s;
      if (!entry) return fail("unknown key");
      if (item.inputs.size() != 1) return fail("takes one value");
      if (given.count(group_of(*entry))) continue;  // the command line's wins
      const std::string& text = item.inputs.front();
      std::optional<std::string> value = text;
      std::string problem;
      if (entry->takes != OptionSpec::Takes::Value) {
        bool on = false;
        const bool word = read_flag_word(text, on);
        if (entry->takes == OptionSpec::Takes::Nothing && !word) return fail("must be true or false");
        if (word) {
          if (!on) continue;  // a flag set false leaves the default
          value.reset();
        }
      }
      if (!entry->read(value, problem)) {
        // The reading names the option as the command line has it.
        const std::string dashed = entry->name + ": ";
        if (problem.rfind(dashed, 0) == 0) problem.erase(0, dashed.size());
        return fail(problem);
      }
    }
  }
  return true;
}

}  // namespace quarvel::runner
