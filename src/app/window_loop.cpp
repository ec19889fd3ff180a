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
      const int vk = display::virtual_key(ev.key.keysym.sym, ev.key.keysym.scancode);
      form.raw_input.press(vk);
      if (vk) form.FormKeyDown(vk, (ev.key.keysym.mod & KMOD_ALT) != 0);
      break;
    }
    case SDL_KEYUP:
      form.raw_input.release(display::virtual_key(ev.key.keysym.sym, ev.key.keysym.scancode));
      break;
    case SDL_MOUSEMOTION:
      form.raw_input.mouse_dx += ev.motion.xrel;
      form.raw_input.mouse_dy += ev.motion.yrel;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const int b = ev.button.button == SDL_BUTTON_LEFT ? 0 : ev.button.button == SDL_BUTTON_RIGHT ? 1
                    : ev.button.button == SDL_BUTTON_MIDDLE ? 2 : -1;
      if (b < 0) break;
      form.raw_input.buttons[static_cast<size_t>(b)] = ev.type == SDL_MOUSEBUTTONDOWN;
      int sx = 0, sy = 0;
      if (ev.type == SDL_MOUSEBUTTONDOWN && form.DXDraw.initialized() &&
          form.DXDraw.backend().to_surface(ev.button.x, ev.button.y, &sx, &sy)) {
        form.FormMouseDown(b, sx, sy);
      }
      break;
    }
    case SDL_WINDOWEVENT:
      if (ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) form.idle_loop.set_active(true);
      if (ev.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        form.idle_loop.set_active(false);
        form.raw_input = {};  // keys released while away would stay down
      }
      break;
    default:
      break;
  }
}

}  // namespace

void run_message_loop(TMainForm& form) {
  SDL_Event ev;
  while (!form.closing()) {
    while (!form.closing() && SDL_PollEvent(&ev)) handle(form, ev);
    if (form.closing()) break;
    if (!form.idle_loop.idle()) {
      // Nothing wants idle time: sleep until the next event.
      if (SDL_WaitEventTimeout(&ev, 100)) handle(form, ev);
    }
  }
}

}  // namespace quarvel::app
