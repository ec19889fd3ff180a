#include "app/main_form.h"

namespace quarvel::app {

TMainForm::TMainForm(std::unique_ptr<display::DisplayBackend> backend, display::MillisecondClock clock)
    : DXDraw(std::move(backend)), DXTimer(idle_loop, clock), Timer_chargement(idle_loop, clock) {
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

void TMainForm::FormCreate() {}

void TMainForm::FormDestroy() {}

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
