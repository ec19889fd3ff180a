#include "app/window_loop.h"

#include <SDL.h>

#include "app/main_form.h"

namespace quarvel::app {
namespace {

void handle(TMainForm& form, const SDL_Event& ev) {
  switch (ev.type) {
    case SDL_QUIT:
      form.Close();
      break;
    case SDL_KEYDOWN: {
      // Key states come from the poll before each tick; the event goes to
      // the form's own key handler (repeats too, as a held key repeats).
      const int vk = display::virtual_key(ev.key.keysym.sym, ev.key.keysym.scancode);
      if (vk) form.FormKeyDown(vk, (ev.key.keysym.mod & KMOD_ALT) != 0);
      break;
    }
    case SDL_MOUSEMOTION:
      form.raw_input.mouse_dx += ev.motion.xrel;
      form.raw_input.mouse_dy += ev.motion.yrel;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const int b = ev.button.button == SDL_BUTTON_LEFT ? 0 : ev.button.button == SDL_BUTTON_RIGHT ? 1
                    : ev.button.button == SDL_BUTTON_MIDDLE ? 2 : -1;
      if (b < 0) break;
      const bool down = ev.type == SDL_MOUSEBUTTONDOWN;
      int sx = 0, sy = 0;
      // The press picks where it lands (nothing on the black bars).
      if (down && form.DXDraw.initialized() &&
          form.DXDraw.backend().to_surface(ev.button.x, ev.button.y, &sx, &sy)) {
        form.FormMouseDown(b, sx, sy);
      }
      // While the left button is held the mouse reports movement only, with
      // no cursor to stop at the window's or the screen's edge.
      if (b == 0) SDL_SetRelativeMouseMode(down ? SDL_TRUE : SDL_FALSE);
      break;
    }
    case SDL_WINDOWEVENT:
      if (ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) form.idle_loop.set_active(true);
      if (ev.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        form.idle_loop.set_active(false);
        form.raw_input = {};  // keys released while away would stay down
        SDL_SetRelativeMouseMode(SDL_FALSE);
      }
      break;
    default:
      break;
  }
}

// The keyboard and the mouse buttons as they are now, in the show's key
// numbers: what the next tick's input update reads. Keys released while the
// window was away or being made again read as released.
void poll_devices(display::RawInput& raw) {
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  raw.keys.fill(false);
  for (int sc = 0; state && sc < count; ++sc) {
    if (state[sc]) raw.press(display::virtual_key(SDL_GetKeyFromScancode(static_cast<SDL_Scancode>(sc)), sc));
  }
  const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
  raw.buttons[0] = (buttons & SDL_BUTTON_LMASK) != 0;
  raw.buttons[1] = (buttons & SDL_BUTTON_RMASK) != 0;
  raw.buttons[2] = (buttons & SDL_BUTTON_MMASK) != 0;
}

}  // namespace

void run_message_loop(TMainForm& form) {
  SDL_Event ev;
  while (!form.closing()) {
    while (!form.closing() && SDL_PollEvent(&ev)) handle(form, ev);
    if (form.closing()) break;
    poll_devices(form.raw_input);
    if (!form.idle_loop.idle()) {
      // Nothing wants idle time: sleep until the next event.
      if (SDL_WaitEventTimeout(&ev, 100)) handle(form, ev);
    }
  }
}

}  // namespace quarvel::app
