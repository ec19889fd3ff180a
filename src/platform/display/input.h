#pragma once
// Keyboard and mouse state, read once per tick.
//
// Keys are numbered with the virtual-key codes the show uses: letters and
// digits as their capital/ASCII codes, F1.. from 112, arrows 37..40, Home 36,
// End 35, Page Up 33, Page Down 34, Insert 45, Delete 46 (and the main
// keyboard's full stop), numpad digits 96..105, numpad * 42, + 107, - 109,
// / 111, both Enter keys 13, both Shift keys 16, Backspace 8, Tab 9,
// Space 32, Esc 27.
#include <array>
#include <cstddef>
#include <cstdint>

namespace quarvel::display {

// Virtual-key code for an SDL key (keycode for letters and digits, so the
// keyboard layout is respected; scancode for the rest). 0 = not mapped.
int virtual_key(int sdl_keycode, int sdl_scancode);

// What the window (or a script, headless) has seen since the last update.
struct RawInput {
  std::array<bool, 256> keys{};
  int mouse_dx = 0, mouse_dy = 0;
  std::array<bool, 3> buttons{};

  void press(int vk) { if (vk > 0 && vk < 256) keys[static_cast<size_t>(vk)] = true; }
  void release(int vk) { if (vk > 0 && vk < 256) keys[static_cast<size_t>(vk)] = false; }
};

class Input {
 public:
  // Merged states: up, down, left, right, then buttons 1..32.
  enum State { kUp = 0, kDown = 1, kLeft = 2, kRight = 3, kButton1 = 4, kStateCount = 36 };

  bool keyboard_enabled = true;
  bool mouse_enabled = true;

  // Reads the devices: key table, mouse movement since the last update
  // (the accumulated movement in `raw` is taken and reset), buttons and the
  // merged states. When `active` is false (the window is not in front)
  // everything reads as released.
  void update(RawInput& raw, bool active = true);

  // Pressed at the last update; codes outside 1..255 read as not pressed.
  bool key(int vk) const;
  int mouse_x() const { return mouse_dx_; }
  int mouse_y() const { return mouse_dy_; }
  bool mouse_button(int index) const;  // 0 = left
  bool state(int s) const;

 private:
  std::array<bool, 256> keys_{};
  std::array<bool, 3> buttons_{};
  std::array<bool, kStateCount> states_{};
  int mouse_dx_ = 0, mouse_dy_ = 0;
};

}  // namespace quarvel::display
