#pragma once
// The message loop of the window program: SDL events go to the form's
// handlers and to its raw input; when no event is waiting the frame timer
// runs. Returns when the form closes. With a player its keys go to it
// instead of the show, and while it pauses no tick runs: the last picture
// is presented again when the window needs it.
namespace quarvel::app {
class TMainForm;
}

namespace quarvel::runner {

class Player;

void run_message_loop(app::TMainForm& form, Player* player = nullptr);

// The screenshot key's work (F12, through the player): keeps the picture
// last presented, form.DXDraw.screenshot(). For now it does nothing.
void take_screenshot(app::TMainForm& form);

}  // namespace quarvel::runner
