#include "platform/display/input.h"

#ifndef __EMSCRIPTEN__
#include <SDL_keyboard.h>
#include <SDL_keycode.h>
#include <SDL_scancode.h>
#endif

namespace quarvel::display {

#ifndef __EMSCRIPTEN__  // the page maps the browser's key codes itself
int virtual_key(int keycode, int scancode) {
  if (keycode >= 'a' && keycode <= 'z') return keycode - 'a' + 'A';
  if (keycode >= '0' && keycode <= '9') return keycode;
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return 112 + (scancode - SDL_SCANCODE_F1);
  if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) return 124 + (scancode - SDL_SCANCODE_F13);
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) return 97 + (scancode - SDL_SCANCODE_KP_1);
  // Letters and digits of layouts whose keycodes are not ASCII: by position.
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 'A' + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return '1' + (scancode - SDL_SCANCODE_1);
  switch (scancode) {
    case SDL_SCANCODE_0: return '0';
    case SDL_SCANCODE_KP_0: return 96;
    case SDL_SCANCODE_KP_MULTIPLY: return 42;
    case SDL_SCANCODE_KP_PLUS: return 107;
    case SDL_SCANCODE_KP_MINUS: return 109;
    case SDL_SCANCODE_KP_DIVIDE: return 111;
    case SDL_SCANCODE_KP_PERIOD: return 110;
    case SDL_SCANCODE_KP_ENTER:
    case SDL_SCANCODE_RETURN: return 13;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return 16;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return 17;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return 18;
    case SDL_SCANCODE_PAUSE: return 19;
    case SDL_SCANCODE_CAPSLOCK: return 20;
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_SPACE: return 32;
    case SDL_SCANCODE_ESCAPE: return 27;
    case SDL_SCANCODE_PAGEUP: return 33;
    case SDL_SCANCODE_PAGEDOWN: return 34;
    case SDL_SCANCODE_END: return 35;
    case SDL_SCANCODE_HOME: return 36;
    case SDL_SCANCODE_LEFT: return 37;
    case SDL_SCANCODE_UP: return 38;
    case SDL_SCANCODE_RIGHT: return 39;
    case SDL_SCANCODE_DOWN: return 40;
    case SDL_SCANCODE_INSERT: return 45;
    case SDL_SCANCODE_DELETE:
    case SDL_SCANCODE_PERIOD: return 46;  // the main full stop reads as Delete
    case SDL_SCANCODE_NUMLOCKCLEAR: return 144;
    case SDL_SCANCODE_SCROLLLOCK: return 145;
    case SDL_SCANCODE_SEMICOLON: return 186;
    case SDL_SCANCODE_EQUALS: return 187;
    case SDL_SCANCODE_COMMA: return 188;
    case SDL_SCANCODE_MINUS: return 189;
    case SDL_SCANCODE_SLASH: return 191;
    case SDL_SCANCODE_GRAVE: return 192;
    case SDL_SCANCODE_LEFTBRACKET: return 219;
    case SDL_SCANCODE_BACKSLASH: return 220;
    case SDL_SCANCODE_RIGHTBRACKET: return 221;
    case SDL_SCANCODE_APOSTROPHE: return 222;
    default: return 0;
  }
}
#endif

void Input::update(RawInput& raw, bool active) {
  keys_.fill(false);
  buttons_.fill(false);
  states_.fill(false);
  mouse_dx_ = mouse_dy_ = 0;
  const int dx = raw.mouse_dx, dy = raw.mouse_dy;
  raw.mouse_dx = raw.mouse_dy = 0;
  if (!active) return;
  if (keyboard_enabled) keys_ = raw.keys;
  if (mouse_enabled) {
    mouse_dx_ = dx;
    mouse_dy_ = dy;
    buttons_ = raw.buttons;
  }
  // Key bindings of the merged states.
  auto any = [&](std::initializer_list<int> vks) {
    for (int vk : vks)
      if (keys_[static_cast<size_t>(vk)]) return true;
    return false;
  };
  states_[kUp] = any({'K', 38, 104}) || mouse_dy_ < 0;
  states_[kDown] = any({'J', 40, 98}) || mouse_dy_ > 0;
  states_[kLeft] = any({'H', 37, 100}) || mouse_dx_ < 0;
  states_[kRight] = any({'L', 39, 102}) || mouse_dx_ > 0;
  states_[kButton1 + 0] = any({'Z', 32}) || buttons_[0];
  states_[kButton1 + 1] = any({'X', 13}) || buttons_[1];
  states_[kButton1 + 2] = buttons_[2];
  states_[kButton1 + 8] = any({113});
}

bool Input::key(int vk) const { return vk >= 1 && vk <= 255 && keys_[static_cast<size_t>(vk)]; }

bool Input::mouse_button(int index) const {
  return index >= 0 && index < 3 && buttons_[static_cast<size_t>(index)];
}

bool Input::state(int s) const { return s >= 0 && s < kStateCount && states_[static_cast<size_t>(s)]; }

}  // namespace quarvel::display
