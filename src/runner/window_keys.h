#pragma once
// The window program's own keys, which the show never sees: one cycles the
// looks, one writes a screenshot. Neither is a key of the show's operator
// or of the form's handler.
#include <cstdint>
#include <filesystem>
#include <string>

namespace quarvel::app {
class TMainForm;
}
namespace quarvel::display {
class DisplayControl;
}

namespace quarvel::runner {

inline constexpr int kLookKey = 122;        // F11
inline constexpr int kScreenshotKey = 123;  // F12

// Handles key `vk` when it is one of those keys and returns true (the show
// does not get it; a held key's repeats do nothing); false for any other key.
bool window_key(app::TMainForm& form, int vk, bool repeat = false);

// The window program's look from --look NAME: false (nothing changed) for
// an unknown name.
bool set_window_look(app::TMainForm& form, const std::string& name);

// Where screenshots go: $XDG_PICTURES_DIR when set (`xdg_pictures`), else
// the Pictures folder of $HOME (`home`); empty when neither is set.
std::filesystem::path pictures_folder(const char* xdg_pictures, const char* home);

// "quarvel-TICK.png".
std::string screenshot_name(uint64_t tick);

// Writes the display's presented picture (the look and the gamma ramp
// applied) as `folder`/quarvel-TICK.png, making the folder when needed, but
// never into the show's folder `show_folder`. Returns the line the notice
// shows: where it went, or why it did not.
std::string save_screenshot(const display::DisplayControl& d, uint64_t tick, const std::filesystem::path& folder,
                            const std::filesystem::path& show_folder);

}  // namespace quarvel::runner
