// The window program, quarvel: plays the show full screen (Alt+Enter for a window, Esc to quit,
// F1 for the player's keys), with the options of its command line and its
// configuration file.
#include <SDL.h>

#include <clocale>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "app/build_info.h"
#include "app/main_form.h"
#include "app/music_startup.h"
#include "app/show_folder.h"
#include "runner/window_keys.h"
#include "runner/player.h"
#include "runner/player_options.h"
#include "runner/window_loop.h"
#include "platform/audio/music_system.h"
#include "platform/display/display_error.h"
#include "platform/display/frame_grabber.h"
#include "platform/display/raster_threads.h"

namespace {

constexpr const char* kAbout =
    "Plays the Quarvel show: a real-time 3D picture in step with its music, full screen\n"
    "(640 x 480, scaled with black bars).\n"
    "\n";

constexpr const char* kMore =
    "\n"
    "The same keys (without the dashes) may stand in the configuration file, one\n"
    "\"key = value\" a line (flags: mute = true); the command line wins.\n"
    "\n"
    "Keys: Esc quits; Alt+Enter switches between full screen and a window; F1 shows\n"
    "the player's keys: Pause pauses, F11 cycles the looks (sharp, original,\n"
    "smooth), F12 writes a screenshot into $XDG_PICTURES_DIR (else ~/Pictures) as\n"
    "quarvel-TICK.png, Ctrl+- and Ctrl+= make the music softer and louder, Ctrl+M\n"
    "mutes it, Ctrl+[ and Ctrl+] go to the previous and next scene. In the finale\n"
    "the operator flies the camera and edits a light (see the README).\n"
    "\n"
    "Files: the show opens its files (sik_test.mp3, 00000000.dat to 00000016.dat, the\n"
    "textures, introsi.jpg) from the current folder. When that folder lacks\n"
    "sik_test.mp3 it plays the folder beside the program, the build's show folder\n"
    "(build/show beside build/bin) or the installed one (/usr/share/games/quarvel\n"
    "beside /usr/games). Without the music the show's clock stands still.\n"
    "\n"
    "Exit status: 0 after Esc or the show's end, 1 when no display can be opened or\n"
    "the display goes away, 2 for bad arguments or a bad configuration file.\n";

// Changes to the first folder holding the music: the current one, beside the
// program, or the build's show folder. Says so in one line when there is none.
void enter_show_folder() {
  using namespace quarvel::app;
  std::error_code ec;
  const std::filesystem::path here = std::filesystem::current_path(ec);
  const auto folders = show_folder_candidates(here, program_folder());
  for (const auto& folder : folders) {
    if (!holds_music(folder)) continue;
    std::filesystem::current_path(folder, ec);
    if (!ec) return;
  }
  std::fprintf(stderr, "quarvel: no %s in %s; the show plays without music and its clock stands still\n", kMusicFile,
               folder_list(folders).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quarvel;
  std::setlocale(LC_ALL, "C");
  display::choose_raster_threads();
  runner::PlayerOptions opt;
  std::string error;
  if (!runner::read_player_options(std::vector<std::string>(argv + 1, argv + argc), runner::default_config_path(), opt,
                                   error)) {
    std::fprintf(stderr, "quarvel: %s (quarvel --help says more)\n", error.c_str());
    return 2;
  }
  if (opt.help) {
    std::fputs(runner::player_usage(), stdout);
    std::fputs(kAbout, stdout);
    std::fputs(kMore, stdout);
    return 0;
  }
  if (opt.version) {
    std::printf("quarvel %s\n", kVersion);
    return 0;
  }
  enter_show_folder();
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "quarvel: cannot start SDL: %s\n", SDL_GetError());
    return 1;
  }
  int status = 0;
  try {
    audio::MusicSystem music(audio::Playback::output);
    // The show's clock stands still while the player pauses.
    runner::PlayerClock clock([] { return static_cast<uint32_t>(SDL_GetTicks()); });
    display::WindowSettings window;
    window.display = opt.display;
    window.vsync = opt.vsync;
    window.width = opt.width;
    window.height = opt.height;
    // The files that belong beside the program (the textures) are those of
    // the show folder it plays, now the current folder, as for the runner.
    app::TMainForm form(display::make_window_backend(app::kTitle, window), [&clock] { return clock.now(); }, music);
    form.DXDraw.full_screen = opt.fullscreen;
    // Holds a seek's ticks back (nothing else: the window keeps no pictures).
    display::FrameGrabber seeker(form.DXDraw);
    runner::Player player(form, music, &clock, &seeker, [] { return static_cast<uint32_t>(SDL_GetTicks()); });
    // The picture's look (--look; empty: the renderer's default).
    if (!opt.look.empty()) runner::set_window_look(form, opt.look);
    player.screenshot = [&form] { runner::take_screenshot(form); };
    form.FormCreate();
    player.set_volume(opt.volume, opt.mute, false);
    form.Show();
    if (opt.scene > 1) player.seek_chapter(opt.scene, [] { SDL_PumpEvents(); });
    runner::run_message_loop(form, &player);
    form.FormDestroy();
  } catch (const display::DisplayError& e) {
    std::fprintf(stderr, "quarvel: %s\n", e.what());
    status = 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel: %s\n", e.what());
    status = 1;
  }
  SDL_Quit();
  return status;
}
