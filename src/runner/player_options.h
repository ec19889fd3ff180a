#pragma once
// The window program's options: its command line and its configuration
// file ($XDG_CONFIG_HOME/quarvel/quarvel.conf, else ~/.config/quarvel/
// quarvel.conf; --config FILE for another), one table read by both, the
// command line winning key by key.
#include <string>
#include <vector>

#include "runner/run_options.h"

namespace quarvel::runner {

struct PlayerOptions {
  bool fullscreen = true;  // --fullscreen (the default), --window[=WxH]
  int width = 0;           // --window=WxH: the window's size; 0: the picture's own, 640 x 480
  int height = 0;
  int display = 0;         // --display N: the screen (0 the first)
  bool vsync = true;       // --vsync on|off
  int volume = 100;        // --volume 0..100
  bool mute = false;       // --mute
  std::string look;        // --look sharp|original|smooth; empty: the renderer's default
  int scene = 1;           // --scene NAME|N: the chapter the show starts at
  std::string config;      // the configuration file read; empty when none was
  bool help = false;
  bool version = false;
};

// The configuration file read when --config does not name one: from
// XDG_CONFIG_HOME, else HOME; empty when neither is set.
std::string default_config_path();

// Reads the command line (without the program's name), then the
// configuration file: the one --config names (which must exist), else
// `default_config` when it exists. False with one line in `error`.
bool read_player_options(const std::vector<std::string>& args, const std::string& default_config,
                         PlayerOptions& opt, std::string& error);

// The usage lines of the options.
const char* player_usage();

}  // namespace quarvel::runner
