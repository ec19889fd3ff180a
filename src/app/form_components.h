#pragma once
// The main form's components, made and set up as the form has them, and the
// show state built on them: the one place where the stage, display, frame
// timers, input, image list and music come together into a Show. The main
// form is made of one; the tests' show fixture too.
#include <cstdint>
#include <memory>

#include "platform/display/backend.h"
#include "platform/display/display.h"
#include "platform/display/frame_timer.h"
#include "platform/display/image_list.h"
#include "platform/display/input.h"
#include "platform/retained/stage.h"
#include "scene/show.h"

namespace quarvel::audio {
class MusicDevice;
}

namespace quarvel::app {

// The logos' transparent colour in the display's encoding (0x00BBGGRR):
// red 255, green 0, blue 246.
inline constexpr uint32_t kLogoKey = 0xF600FFu;

struct FormComponents {
  // The display on `backend`, the frame timers on `clock`.
  FormComponents(std::unique_ptr<display::DisplayBackend> backend, display::MillisecondClock clock);

  // Components, in the order the form creates them.
  display::IdleLoop idle_loop;
  // The scene graph the display draws; it outlives the display.
  rm::Stage stage;
  display::DisplayControl DXDraw;
  display::FrameTimer DXTimer;
  display::Input DXInput1;
  display::ImageList ImageList;
  display::FrameTimer Timer_chargement;

  // What the window (or the headless runner's script) reports of the
  // keyboard and mouse; DXInput1 reads it once per tick.
  display::RawInput raw_input;

  // What the last tick ran and built, for the headless runner's trace.
  scene::TickRecord record;

  // A fresh show state on these components and `music`.
  std::unique_ptr<scene::Show> new_show(audio::MusicDevice& music);
};

// The image list's pictures as the form description holds them: the nine
// pictures drawn by code, each with its transparent colour in the display's
// encoding and transparency on.
void load_form_pictures(display::ImageList& images);

}  // namespace quarvel::app
