#pragma once
// Pieces of the opening scene kept apart so they can be checked on their own.
#include <cstdint>
#include <functional>
#include <string>

#include "scene/show.h"

namespace quarvel::scene {

// Walks the ship model's frame hierarchy below `model` by depth, storing the
// named ship and truck parts in vaisseau_frame and truck_frame (a name met
// again overwrites its slot) and reporting a progress label for every frame
// of depths 1, 3 and 4.
void walk_ship_parts(Show& s, const FrameRef& model,
                     const std::function<void(const std::string&)>& progress);

}  // namespace quarvel::scene
