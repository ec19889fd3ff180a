#include "app/main_form.h"

#include "app/music_startup.h"

namespace quarvel::app {

TMainForm::TMainForm(std::unique_ptr<display::DisplayBackend> backend, display::MillisecondClock clock,
                     audio::MusicDevice& music_device)
    : DXDraw(std::move(backend)), DXTimer(idle_loop, clock), Timer_chargement(idle_loop, clock), music(music_device) {
  DXDraw.image_list = &ImageList;
  DXDraw.on_initialize = [this] { DXDrawInitialize(); };
  DXDraw.on_initialize_surface = [this] { DXDrawInitializeSurface(); };
  DXDraw.on_finalize = [this] { DXDrawFinalize(); };

  DXTimer.interval = 0;
  DXTimer.active_only = false;
  DXTimer.on_timer = [this](int lag) { DXTimerTimer(lag); };
  Timer_chargement.interval = 100;
  Timer_chargement.active_only = true;

  DXInput1.keyboard_enabled = true;
  DXInput1.mouse_enabled = true;
}

TMainForm::~TMainForm() { DXDraw.finalize(); }

void TMainForm::Show() { DXDraw.initialize(); }

void TMainForm::FormCreate() {
  // The display hides the cursor itself while in full screen.
  FormCreate_music(music, nullptr, flux_musique);
}

void TMainForm::FormDestroy() { FormDestroy_music(music); }

void TMainForm::DXDrawInitialize() {
  DXTimer.set_enabled(true);
  DXInput1.mouse_enabled = true;
}

void TMainForm::DXDrawInitializeSurface() {}

void TMainForm::DXDrawFinalize() { DXTimer.set_enabled(false); }

void TMainForm::DXTimerTimer(int) {
  ++ticks_;
  DXInput1.update(raw_input, idle_loop.active());
  DXDraw.render();
  DXDraw.flip();
}

void TMainForm::FormKeyDown(int key, bool alt) {
  if (key == 27) Close();
  if (alt && key == 13) {
    DXDraw.finalize();
    DXDraw.full_screen = !DXDraw.full_screen;
    DXDraw.initialize();
  }
}

void TMainForm::FormMouseDown(int, int, int) {}

}  // namespace quarvel::app
