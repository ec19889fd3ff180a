// quarvel: plays the show full screen (Alt+Enter for a window, Esc to quit).
#include <SDL.h>

#include <clocale>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "app/build_info.h"
#include "app/main_form.h"
#include "app/music_startup.h"
#include "app/show_folder.h"
#include "runner/window_keys.h"
#include "runner/window_loop.h"
#include "platform/audio/music_system.h"
#include "platform/display/display_error.h"
#include "platform/display/raster_threads.h"

namespace {

constexpr const char* kHelp =
    "usage: quarvel [--look sharp|original|smooth] [--help | --version]\n"
    "Plays the Quarvel show: a real-time 3D picture in step with its music, full screen\n"
    "(640 x 480, scaled with black bars).\n"
    "\n"
    "Keys: Esc quits; Alt+Enter switches between full screen and a window; F11 cycles\n"
    "the looks (sharp, original, smooth); F12 writes a screenshot into\n"
    "$XDG_PICTURES_DIR (else ~/Pictures) as quarvel-TICK.png. In the\n"
    "finale the operator flies the camera and edits a light (see the README).\n"
    "\n"
    "Files: the show opens its files (sik_test.mp3, 00000000.dat to 00000016.dat, the\n"
    "textures, introsi.jpg) from the current folder. When that folder lacks\n"
    "sik_test.mp3 it plays the folder beside the program, the build's show folder\n"
    "(build/show beside build/bin) or the installed one (/usr/share/games/quarvel\n"
    "beside /usr/games). Without the music the show's clock stands still.\n"
    "\n"
    "Exit status: 0 after Esc or the show's end, 1 when no display can be opened or\n"
    "the display goes away, 2 for bad arguments.\n";

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
  std::string look = "sharp";
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--look" && i + 1 < argc) {
      look = argv[++i];
      continue;
    }
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("quarvel %s\n", kVersion);
      return 0;
    }
    std::fprintf(stderr, "quarvel: unknown argument: %s (quarvel --help says more)\n",
                 a.c_str());
    return 2;
  }
  enter_show_folder();
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "quarvel: cannot start SDL: %s\n", SDL_GetError());
    return 1;
  }
  int status = 0;
  try {
    audio::MusicSystem music(audio::Playback::output);
    // The files that belong beside the program (the textures) are those of
    // the show folder it plays, now the current folder, as for the runner.
    app::TMainForm form(display::make_window_backend(app::kTitle),
                        [] { return static_cast<uint32_t>(SDL_GetTicks()); }, music);
    if (!runner::set_window_look(form, look)) {
      std::fprintf(stderr, "quarvel: --look %s: no such look (sharp, original or smooth)\n", look.c_str());
      SDL_Quit();
      return 2;
    }
    form.FormCreate();
    form.Show();
    runner::run_message_loop(form);
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
