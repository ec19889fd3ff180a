#include <gtest/gtest.h>

#include <SDL_keycode.h>
#include <SDL_scancode.h>

#include "platform/display/input.h"

using namespace quarvel::display;

TEST(VirtualKey, NumbersKeysAsTheShowExpects) {
  EXPECT_EQ(virtual_key(SDLK_a, SDL_SCANCODE_A), 'A');
  EXPECT_EQ(virtual_key(SDLK_s, SDL_SCANCODE_S), 83);
  EXPECT_EQ(virtual_key(SDLK_1, SDL_SCANCODE_1), 49);
  EXPECT_EQ(virtual_key(SDLK_F1, SDL_SCANCODE_F1), 112);
  EXPECT_EQ(virtual_key(SDLK_F6, SDL_SCANCODE_F6), 117);
  EXPECT_EQ(virtual_key(SDLK_F7, SDL_SCANCODE_F7), 118);
  EXPECT_EQ(virtual_key(SDLK_LEFT, SDL_SCANCODE_LEFT), 37);
  EXPECT_EQ(virtual_key(SDLK_UP, SDL_SCANCODE_UP), 38);
  EXPECT_EQ(virtual_key(SDLK_RIGHT, SDL_SCANCODE_RIGHT), 39);
  EXPECT_EQ(virtual_key(SDLK_DOWN, SDL_SCANCODE_DOWN), 40);
  EXPECT_EQ(virtual_key(SDLK_HOME, SDL_SCANCODE_HOME), 36);
  EXPECT_EQ(virtual_key(SDLK_END, SDL_SCANCODE_END), 35);
  EXPECT_EQ(virtual_key(SDLK_PAGEUP, SDL_SCANCODE_PAGEUP), 33);
  EXPECT_EQ(virtual_key(SDLK_PAGEDOWN, SDL_SCANCODE_PAGEDOWN), 34);
  EXPECT_EQ(virtual_key(SDLK_INSERT, SDL_SCANCODE_INSERT), 45);
  EXPECT_EQ(virtual_key(SDLK_DELETE, SDL_SCANCODE_DELETE), 46);
  EXPECT_EQ(virtual_key(SDLK_PERIOD, SDL_SCANCODE_PERIOD), 46);  // main full stop = Delete
  EXPECT_EQ(virtual_key(SDLK_KP_0, SDL_SCANCODE_KP_0), 96);
  EXPECT_EQ(virtual_key(SDLK_KP_9, SDL_SCANCODE_KP_9), 105);
  EXPECT_EQ(virtual_key(SDLK_KP_MULTIPLY, SDL_SCANCODE_KP_MULTIPLY), 42);
  EXPECT_EQ(virtual_key(SDLK_KP_PLUS, SDL_SCANCODE_KP_PLUS), 107);
  EXPECT_EQ(virtual_key(SDLK_KP_MINUS, SDL_SCANCODE_KP_MINUS), 109);
  EXPECT_EQ(virtual_key(SDLK_KP_DIVIDE, SDL_SCANCODE_KP_DIVIDE), 111);
  EXPECT_EQ(virtual_key(SDLK_RETURN, SDL_SCANCODE_RETURN), 13);
  EXPECT_EQ(virtual_key(SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER), 13);
  EXPECT_EQ(virtual_key(SDLK_LSHIFT, SDL_SCANCODE_LSHIFT), 16);
  EXPECT_EQ(virtual_key(SDLK_RSHIFT, SDL_SCANCODE_RSHIFT), 16);
  EXPECT_EQ(virtual_key(SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE), 8);
  EXPECT_EQ(virtual_key(SDLK_TAB, SDL_SCANCODE_TAB), 9);
  EXPECT_EQ(virtual_key(SDLK_SPACE, SDL_SCANCODE_SPACE), 32);
  EXPECT_EQ(virtual_key(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE), 27);
  // An AZERTY keyboard: the key that types 'a' sits where QWERTY has Q.
  EXPECT_EQ(virtual_key(SDLK_a, SDL_SCANCODE_Q), 'A');
  // Numpad 8 with Num Lock off still reads as numpad 8.
  EXPECT_EQ(virtual_key(SDLK_UP, SDL_SCANCODE_KP_8), 104);
}

TEST(Input, UpdateTakesKeysAndTheMouseMovementSinceTheLastUpdate) {
  RawInput raw;
  Input in;
  raw.press('S');
  raw.press(0);    // ignored
  raw.press(300);  // ignored
  raw.mouse_dx = 5;
  raw.mouse_dy = -3;
  raw.buttons[0] = true;
  in.update(raw);
  EXPECT_TRUE(in.key('S'));
  EXPECT_FALSE(in.key(0));
  EXPECT_FALSE(in.key(256));
  EXPECT_FALSE(in.key(-1));
  EXPECT_EQ(in.mouse_x(), 5);
  EXPECT_EQ(in.mouse_y(), -3);
  EXPECT_TRUE(in.mouse_button(0));
  EXPECT_FALSE(in.mouse_button(3));
  // The movement was taken; keys stay down until released.
  in.update(raw);
  EXPECT_EQ(in.mouse_x(), 0);
  EXPECT_TRUE(in.key('S'));
  raw.release('S');
  in.update(raw);
  EXPECT_FALSE(in.key('S'));
  // Inactive: nothing reads as pressed, and the movement is dropped.
  raw.press('S');
  raw.mouse_dx = 9;
  in.update(raw, false);
  EXPECT_FALSE(in.key('S'));
  EXPECT_EQ(in.mouse_x(), 0);
  in.update(raw, true);
  EXPECT_EQ(in.mouse_x(), 0);
}

TEST(Input, MergedStatesFollowTheKeyAndMouseBindings) {
  RawInput raw;
  Input in;
  auto only = [&](std::initializer_list<int> keys) {
    raw = {};
    for (int k : keys) raw.press(k);
    in.update(raw);
  };
  for (int k : {int('K'), 38, 104}) {
    only({k});
    EXPECT_TRUE(in.state(Input::kUp)) << k;
    EXPECT_FALSE(in.state(Input::kDown)) << k;
  }
  for (int k : {int('J'), 40, 98}) { only({k}); EXPECT_TRUE(in.state(Input::kDown)) << k; }
  for (int k : {int('H'), 37, 100}) { only({k}); EXPECT_TRUE(in.state(Input::kLeft)) << k; }
  for (int k : {int('L'), 39, 102}) { only({k}); EXPECT_TRUE(in.state(Input::kRight)) << k; }
  for (int k : {int('Z'), 32}) { only({k}); EXPECT_TRUE(in.state(Input::kButton1)) << k; }
  for (int k : {int('X'), 13}) { only({k}); EXPECT_TRUE(in.state(Input::kButton1 + 1)) << k; }
  only({113});
  EXPECT_TRUE(in.state(Input::kButton1 + 8));
  for (int b = 2; b < 8; ++b) EXPECT_FALSE(in.state(Input::kButton1 + b));
  EXPECT_FALSE(in.state(-1));
  EXPECT_FALSE(in.state(Input::kStateCount));

  raw = {};
  raw.mouse_dx = -2;
  raw.mouse_dy = 4;
  raw.buttons = {false, false, true};
  in.update(raw);
  EXPECT_TRUE(in.state(Input::kLeft));
  EXPECT_TRUE(in.state(Input::kDown));
  EXPECT_FALSE(in.state(Input::kUp));
  EXPECT_FALSE(in.state(Input::kRight));
  EXPECT_TRUE(in.state(Input::kButton1 + 2));
}
