#pragma once
// The main form: made of the form's components (stage, display control,
// frame timers, input, image list) with the show's state on them, it runs
// the show's handlers. The window program and the headless runner both
// drive one of these.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/form_components.h"
#include "platform/display/backend.h"
#include "platform/display/frame_timer.h"
#include "scene/show.h"

namespace quarvel::audio {
class MusicDevice;
}

namespace quarvel::app {

inline constexpr const char* kTitle = "Quarvel Team";
// The loading backdrop, opened by its relative name from the current folder.
inline constexpr const char* kBackdropFile = "introsi.jpg";
// The safety end of the frame loop: any scene clock above it ends the show.
inline constexpr float kSafetyEnd = 18000.0f;

class TMainForm : public FormComponents {
 public:
  // `music` is the music layer (real output, or a virtual clock headless);
  // it must outlive the form. `exe_dir` is the program's folder with its
  // trailing separator (empty: the current folder; the programs enter the
  // show folder they play and give none).
  TMainForm(std::unique_ptr<display::DisplayBackend> backend, display::MillisecondClock clock,
            audio::MusicDevice& music, std::string exe_dir = {});
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  // The show's state. Every initialisation of the display seeds a fresh one
  // (so Alt+Enter restarts the show from its first step); only the music
  // stream, the program's folder and the pseudo-random sequence carry over.
  scene::Show& show() { return *show_; }
  const scene::Show& show() const { return *show_; }

  // The seven scene steps the frame loop calls, one for each step flag:
  // Party_1..Party_7 unless a test puts its own in.
  using Step = std::function<void(scene::Show&)>;
  std::array<Step, scene::kStepCount> steps;

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
  // Esc closes; Alt+Enter switches between full screen and a window and
  // initialises the display again (the show restarts).
  void FormKeyDown(int key, bool alt);
  // A press of any button at back-surface pixel (x, y): the object under it
  // turns grey (the window maps its own coordinates first and sends no
  // press on the black bars).
  void FormMouseDown(int button, int x, int y);

  // While no tick runs (the window hidden or minimised) the music plays
  // on: this counts what it played since the last look, so that the next
  // tick's clock step holds all of it, a wrap of the looping track included
  // however long the wait. Does nothing while the frame timer is off.
  void follow_music();
  // The show from its first step as the program's start has it: the
  // display initialised again with a fresh show whose pseudo-random
  // sequence starts from its seed (Alt+Enter carries the sequence on).
  void restart_show();

  // The music layer (the stream's handle is show().clock.flux_musique: 0 when the
  // file could not be opened, and the show's clock then stands still).
  audio::MusicDevice& music;

  // Ticks run so far, and how many times the display was initialised.
  uint64_t ticks() const { return ticks_; }
  int initialisations() const { return initialisations_; }

 private:
  // A fresh show state carrying over what survives a re-initialisation.
  void renew_show();

  std::unique_ptr<scene::Show> show_;
  bool closing_ = false;
  // The music's advance counted by follow_music since the last tick, in
  // the clock step's units.
  double music_ahead_ = 0;
  bool fresh_sequence_ = false;  // the next renewal starts the sequence again
  uint64_t ticks_ = 0;
  int initialisations_ = 0;
};

}  // namespace quarvel::app
