#pragma once
// The loading display: the shimmering loading picture and the growing bar,
// drawn while the opening scene is built (its step flag set), and the
// loading timer's random flashes.
#include <string>

#include "scene/show.h"

namespace quarvel::scene {

void Loading(Show& s);
void Chargement(Show& s, const std::string& label);
void Timer_chargementTimer(Show& s);

}  // namespace quarvel::scene
