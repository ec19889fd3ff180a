#include "runner/window_keys.h"

#include <cstdlib>
#include <system_error>

#include "app/main_form.h"
#include "platform/common/png_write.h"
#include "platform/display/display.h"
#include "platform/render/look.h"

namespace quarvel::runner {

namespace fs = std::filesystem;

bool window_key(app::TMainForm& form, int vk, bool repeat) {
  if (vk != kLookKey && vk != kScreenshotKey) return false;
  if (repeat) return true;
  display::DisplayControl& d = form.DXDraw;
  if (vk == kLookKey) {
    const bool taken = d.set_look(render::next_look(d.look()));
    d.show_notice(std::string("Look: ") + render::look_name(d.look()) + (taken ? "" : " (the next is not offered)"));
    return true;
  }
  std::error_code ec;
  const fs::path show_folder = fs::current_path(ec);  // the program plays from the show folder
  const fs::path folder = pictures_folder(std::getenv("XDG_PICTURES_DIR"), std::getenv("HOME"));
  d.show_notice(save_screenshot(d, form.ticks(), folder, show_folder));
  return true;
}

bool set_window_look(app::TMainForm& form, const std::string& name) {
  const auto look = render::look_from_name(name);
  if (!look) return false;
  form.DXDraw.set_look(*look);
  return true;
}

fs::path pictures_folder(const char* xdg_pictures, const char* home) {
  if (xdg_pictures && *xdg_pictures) return fs::path(xdg_pictures);
  if (home && *home) return fs::path(home) / "Pictures";
  return {};
}

std::string screenshot_name(uint64_t tick) { return "quarvel-" + std::to_string(tick) + ".png"; }

std::string save_screenshot(const display::DisplayControl& d, uint64_t tick, const fs::path& folder,
                            const fs::path& show_folder) {
  if (folder.empty()) return "No screenshot: neither XDG_PICTURES_DIR nor HOME is set";
  const Picture picture = d.screenshot();
  if (picture.empty()) return "No screenshot: nothing shown yet";
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return "No screenshot: cannot make " + folder.string() + " (" + ec.message() + ")";
  if (!show_folder.empty() && fs::equivalent(folder, show_folder, ec))
    return "No screenshot: " + folder.string() + " is the show's folder";
  const fs::path file = folder / screenshot_name(tick);
  std::string error;
  if (!write_png(file.string(), picture, &error)) return "No screenshot: " + error;
  return "Screenshot: " + file.string();
}

}  // namespace quarvel::runner
