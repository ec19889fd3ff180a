#include "runner/window_loop.h"

#include <SDL.h>

#include "app/main_form.h"
#include "platform/display/display_lost.h"
#include "runner/input_event.h"
#include "runner/window_keys.h"
#include "runner/player.h"

namespace quarvel::runner {
namespace {

void handle(app::TMainForm& form, Player* player, const SDL_Event& ev) {
  switch (ev.type) {
    case SDL_QUIT:
      // A quit that comes from the display going away ends the program at
      // once; any other closes the show as Esc does.
      if (form.DXDraw.backend().lost()) display::display_went_away();
      form.Close();
      break;
    case SDL_KEYDOWN: {
      // Key states come from the poll before each tick; the event goes to
      // the form's own key handler (repeats too, as a held key repeats).
      const int vk = display::virtual_key(ev.key.keysym.sym, ev.key.keysym.scancode);
      if (!vk) break;
      // The player's own keys never reach the show; a seek keeps the window
      // answering (its events wait for the seek's end).
      const bool ctrl = (ev.key.keysym.mod & KMOD_CTRL) != 0;
      if (player && player_key(vk, ctrl) != PlayerKey::None) {
        if (!ev.key.repeat) player->key(vk, ctrl, [] { SDL_PumpEvents(); });
        break;
      }
      if (window_key(form, vk, ev.key.repeat != 0)) break;
      InputEvent e;
      e.kind = InputEvent::Kind::KeyDown;
      e.a = vk;
      e.alt = (ev.key.keysym.mod & KMOD_ALT) != 0;
      deliver(form, e);
      break;
    }
    case SDL_MOUSEMOTION: {
      if (player && player->paused()) break;  // no flight piles up while paused
      InputEvent e;
      e.kind = InputEvent::Kind::Mouse;
      e.a = ev.motion.xrel;
      e.b = ev.motion.yrel;
      deliver(form, e);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const int b = ev.button.button == SDL_BUTTON_LEFT ? 0 : ev.button.button == SDL_BUTTON_RIGHT ? 1
                    : ev.button.button == SDL_BUTTON_MIDDLE ? 2 : -1;
      if (b < 0) break;
      InputEvent e;
      e.kind = InputEvent::Kind::Button;
      e.a = b;
      e.down = ev.type == SDL_MOUSEBUTTONDOWN;
      deliver(form, e);
      // The press picks where it lands (nothing on the black bars).
      int sx = 0, sy = 0;
      if (e.down && form.DXDraw.initialized() &&
          form.DXDraw.backend().to_surface(ev.button.x, ev.button.y, &sx, &sy)) {
        InputEvent click;
        click.kind = InputEvent::Kind::Click;
        click.button = b;
        click.a = sx;
        click.b = sy;
        deliver(form, click);
      }
      // While the left button is held the mouse reports movement only, with
      // no cursor to stop at the window's or the screen's edge.
      if (b == 0) SDL_SetRelativeMouseMode(e.down ? SDL_TRUE : SDL_FALSE);
      break;
    }
    case SDL_WINDOWEVENT: {
      const bool gained = ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
      if (!gained && ev.window.event != SDL_WINDOWEVENT_FOCUS_LOST) break;
      InputEvent e;
      e.kind = InputEvent::Kind::Focus;
      e.down = gained;
      deliver(form, e);
      if (!gained) SDL_SetRelativeMouseMode(SDL_FALSE);
      break;
    }
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

void run_message_loop(app::TMainForm& form, Player* player) {
  SDL_Event ev;
  while (!form.closing()) {
    while (!form.closing() && SDL_PollEvent(&ev)) handle(form, player, ev);
    if (form.closing()) break;
    display::DisplayBackend& backend = form.DXDraw.backend();
    if (backend.lost()) display::display_went_away();
    if (form.DXDraw.initialized() && !backend.shown()) {
      // Hidden or minimised: no tick and no picture until the window is
      // back, only a look at the music once a second. The music plays on,
      // and the first tick back takes all it played as one step.
      form.follow_music();
      if (SDL_WaitEventTimeout(&ev, 1000)) handle(form, player, ev);
      continue;
    }
    poll_devices(form.raw_input);
    const bool changed = player && player->update();
    if (player && player->paused()) {
      // Paused: no tick; the last picture again when something over it
      // changed or the window was uncovered.
      if (changed) form.DXDraw.flip();
      if (SDL_WaitEventTimeout(&ev, 100)) {
        if (ev.type == SDL_WINDOWEVENT && ev.window.event == SDL_WINDOWEVENT_EXPOSED) form.DXDraw.flip();
        handle(form, player, ev);
      }
      continue;
    }
    if (!form.idle_loop.idle()) {
      // Nothing wants idle time: sleep until the next event.
      if (SDL_WaitEventTimeout(&ev, 100)) handle(form, player, ev);
    }
  }
}

void take_screenshot(app::TMainForm& form) { window_key(form, kScreenshotKey); }

}  // namespace quarvel::runner
