#include "controls/operator.h"

namespace quarvel::controls {

void Clavier(scene::Show&, const Jumps&) {}

}  // namespace quarvel::controls
