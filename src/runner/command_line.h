#pragma once
// The programs' command lines and the window program's configuration file,
// read with CLI11 into a table of options (runner::OptionSpec): the same
// reading of an option's value whichever of the two gives it.
//
// A configuration file holds "key = value" lines (CLI11's TOML/INI reader:
// "#" comments, quoted strings, true/false for flags); a key is an option's
// name without its dashes. Flags take true or false there.
#include <set>
#include <string>
#include <vector>

#include "runner/run_options.h"

namespace quarvel::runner {

// Reads `args` (without the program's name) in their order into the
// options. False with one line in `error`: "unknown argument: X", "OPTION
// needs a value", or what the option's reading said. The groups (or names,
// for options without one) given are added to `given`.
bool parse_command_line(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
                        std::set<std::string>& given, std::string& error);

// Reads the configuration file `path` into the options, skipping the keys of
// the groups in `given` (the command line wins). False with one line in
// `error`: "FILE: cannot read the configuration file", or "FILE:LINE: KEY:
// problem" for a bad line (an unknown key, a section, a list, a bad value).
bool read_config_file(const std::string& path, const std::vector<OptionSpec>& specs,
                      const std::set<std::string>& given, std::string& error);

}  // namespace quarvel::runner
