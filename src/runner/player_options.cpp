#include "runner/player_options.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>

#include "runner/chapters.h"
#include "runner/command_line.h"

namespace quarvel::runner {
namespace {

using Takes = OptionSpec::Takes;
using Value = std::optional<std::string>;

// "WxH" with each side from 160 to 16384.
bool parse_size(const std::string& text, int& width, int& height, std::string& error) {
  const size_t x = text.find('x');
  int w = 0, h = 0;
  std::string ignored;
  if (x == std::string::npos || !parse_int_in("", text.substr(0, x), 160, 16384, w, ignored) ||
      !parse_int_in("", text.substr(x + 1), 160, 16384, h, ignored)) {
    error = "--window: not a size WxH (each side 160 to 16384): " + text;
    return false;
  }
  width = w;
  height = h;
  return true;
}

std::vector<OptionSpec> player_specs(PlayerOptions& opt, std::string& config) {
  std::vector<OptionSpec> specs;
  specs.push_back({"--window", Takes::MaybeValue,
                   [&opt](const Value& v, std::string& error) {
                     opt.fullscreen = false;
                     return !v || parse_size(*v, opt.width, opt.height, error);
                   },
                   "screen"});
  specs.push_back({"--fullscreen", Takes::Nothing,
                   [&opt](const Value&, std::string&) { return opt.fullscreen = true; }, "screen"});
  specs.push_back({"--display", Takes::Value, [&opt](const Value& v, std::string& error) {
                     return parse_int_in("--display", *v, 0, 15, opt.display, error);
                   }});
  specs.push_back({"--vsync", Takes::Value, [&opt](const Value& v, std::string& error) {
                     if (*v != "on" && *v != "off") {
                       error = "--vsync: on or off, not: " + *v;
                       return false;
                     }
                     opt.vsync = *v == "on";
                     return true;
                   }});
  specs.push_back({"--volume", Takes::Value, [&opt](const Value& v, std::string& error) {
                     return parse_int_in("--volume", *v, 0, 100, opt.volume, error);
                   }});
  specs.push_back({"--mute", Takes::Nothing, [&opt](const Value&, std::string&) { return opt.mute = true; }});
  specs.push_back({"--look", Takes::Value,
                   [&opt](const Value& v, std::string& error) { return read_look(*v, opt.look, error); }});
  specs.push_back({"--scene", Takes::Value, [&opt](const Value& v, std::string& error) {
                     return parse_chapter(*v, opt.scene, error);
                   }});
  // Only on the command line: which file, help and version.
  specs.push_back({"--config", Takes::Value, [&config](const Value& v, std::string& error) {
                     if (v->empty()) {
                       error = "--config needs a file name";
                       return false;
                     }
                     config = *v;
                     return true;
                   }});
  specs.push_back({"--help,-h", Takes::Nothing, [&opt](const Value&, std::string&) { return opt.help = true; }});
  specs.push_back({"--version", Takes::Nothing, [&opt](const Value&, std::string&) { return opt.version = true; }});
  return specs;
}

}  // namespace

std::string default_config_path() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return (std::filesystem::path(xdg) / "quarvel" / "quarvel.conf").string();
  const char* home = std::getenv("HOME");
  if (home && *home) return (std::filesystem::path(home) / ".config" / "quarvel" / "quarvel.conf").string();
  return {};
}

bool read_player_options(const std::vector<std::string>& args, const std::string& default_config,
                         PlayerOptions& opt, std::string& error) {
  std::string config;
  std::vector<OptionSpec> specs = player_specs(opt, config);
  std::set<std::string> given;
  if (!parse_command_line(args, specs, given, error)) return false;
  if (opt.help || opt.version) return true;
  if (config.empty()) {
    std::error_code ec;
    if (default_config.empty() || !std::filesystem::exists(default_config, ec)) return true;
    config = default_config;
  }
  // The file's keys are those of the options it may set.
  specs.erase(specs.end() - 3, specs.end());
  if (!read_config_file(config, specs, given, error)) return false;
  opt.config = config;
  return true;
}

const char* player_usage() {
  return "usage: quarvel [options]\n"
         "  --fullscreen        full screen on the display (the default)\n"
         "  --window[=WxH]      in a window, 640 x 480 or W x H\n"
         "  --display N         the screen to play on, 0 (the first) to 15\n"
         "  --vsync on|off      wait for the screen's refresh before each picture (default on)\n"
         "  --volume 0..100     the music's volume in percent (default 100)\n"
         "  --mute              start with the music muted\n"
         "  --look NAME         how the picture is drawn: sharp, original or smooth\n"
         "  --scene NAME|N      start at a scene: opening, forest, edge, model, explosion,\n"
         "                      finale (or 1 to 6)\n"
         "  --config FILE       read the options from FILE instead of\n"
         "                      $XDG_CONFIG_HOME/quarvel/quarvel.conf (key = value lines,\n"
         "                      keys as the options without their dashes: volume = 40)\n"
         "  --help, --version\n";
}

}  // namespace quarvel::runner
