#pragma once
// The main form: owns the display control, the frame timers, the input and
// the image list, and runs the show's handlers. The window program and the
// headless runner both drive one of these.
#include <cstdint>
#include <memory>

#include "platform/display/backend.h"
#include "platform/display/display.h"
#include "platform/display/frame_timer.h"
#include "platform/display/image_list.h"
#include "platform/display/input.h"

namespace quarvel::audio {
class MusicDevice;
}

namespace quarvel::app {

inline constexpr const char* kTitle = "Quarvel Team";

class TMainForm {
 public:
  // `music` is the music layer (real output, or a virtual clock headless);
  // it must outlive the form.
  TMainForm(std::unique_ptr<display::DisplayBackend> backend, display::MillisecondClock clock,
            audio::MusicDevice& music);
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // Components, in the order the form creates them.
  display::IdleLoop idle_loop;
  display::DisplayControl DXDraw;
  display::FrameTimer DXTimer;
  display::Input DXInput1;
  display::ImageList ImageList;
  display::FrameTimer Timer_chargement;

  // What the window (or the headless runner's script) reports of the
  // keyboard and mouse; DXInput1 reads it once per tick.
  display::RawInput raw_input;

  // First showing of the form: the display initialises itself.
  void Show();
  // Ends the message loop after the current tick or event.
  void Close() { closing_ = true; }
  bool closing() const { return closing_; }

  // Handlers.
  void FormCreate();
  void FormDestroy();
  void DXDrawInitialize();
  void DXDrawInitializeSurface();
  void DXDrawFinalize();
  void DXTimerTimer(int lag_count);
  void FormKeyDown(int key, bool alt);
  void FormMouseDown(int button, int x, int y);

  // The music layer and the handle of the show's music stream (0 when the
  // file could not be opened: the show's clock then stands still).
  audio::MusicDevice& music;
  uint32_t flux_musique = 0;

  // Ticks run so far.
  uint64_t ticks() const { return ticks_; }

 private:
  bool closing_ = false;
  uint64_t ticks_ = 0;
};

}  // namespace quarvel::app
