#pragma once
// The message loop of the window program: SDL events go to the form's
// handlers and to its raw input; when no event is waiting the frame timer
// runs. Returns when the form closes.
namespace quarvel::app {
class TMainForm;
}

namespace quarvel::runner {

void run_message_loop(app::TMainForm& form);

}  // namespace quarvel::runner
