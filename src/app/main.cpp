// quarvel: plays the show full screen (Alt+Enter for a window, Esc to quit).
#include <SDL.h>

#include <clocale>
#include <cstdio>
#include <exception>
#include <string>

#include "app/main_form.h"
#include "app/window_loop.h"
#include "platform/audio/music_system.h"
#include "platform/display/display_error.h"

int main(int argc, char** argv) {
  using namespace quarvel;
  std::setlocale(LC_ALL, "C");
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) {
    std::fprintf(stderr, "quarvel: cannot start SDL: %s\n", SDL_GetError());
    return 1;
  }
  int status = 0;
  try {
    audio::MusicSystem music(audio::Playback::output);
    // Textures beside the program are read from its own folder.
    std::string exe_dir;
    if (char* base = SDL_GetBasePath()) {
      exe_dir = base;
      SDL_free(base);
    }
    app::TMainForm form(display::make_window_backend(app::kTitle),
                        [] { return static_cast<uint32_t>(SDL_GetTicks()); }, music, exe_dir);
    form.FormCreate();
    form.Show();
    app::run_message_loop(form);
    form.FormDestroy();
  } catch (const display::DisplayError& e) {
    std::fprintf(stderr, "quarvel: %s\n", e.what());
    status = 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel: %s\n", e.what());
    status = 1;
  }
  SDL_Quit();
  (void)argc;
  (void)argv;
  return status;
}
