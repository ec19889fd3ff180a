#include "app/form_components.h"

#include <utility>
#include <vector>

#include "app/form_pictures.h"

namespace quarvel::app {

void load_form_pictures(display::ImageList& images) {
  std::vector<Picture> pictures = make_form_pictures();
  for (size_t i = 0; i < pictures.size(); ++i) {
    const bool black_key = i == 5 || i == 6;
    images.add(std::move(pictures[i]), black_key ? 0u : kLogoKey, true);
  }
}

FormComponents::FormComponents(std::unique_ptr<display::DisplayBackend> backend, display::MillisecondClock clock)
    : DXDraw(std::move(backend), stage), DXTimer(idle_loop, clock), Timer_chargement(idle_loop, clock) {
  load_form_pictures(ImageList);
  DXDraw.image_list = &ImageList;
  DXTimer.interval = 0;
  DXTimer.active_only = false;
  Timer_chargement.interval = 100;
  Timer_chargement.active_only = true;
  DXInput1.keyboard_enabled = true;
  DXInput1.mouse_enabled = true;
}

std::unique_ptr<scene::Show> FormComponents::new_show(audio::MusicDevice& music) {
  return std::make_unique<scene::Show>(stage, DXDraw, DXTimer, Timer_chargement, DXInput1, ImageList, music, record);
}

}  // namespace quarvel::app
