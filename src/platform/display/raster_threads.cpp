#include "platform/display/raster_threads.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace quarvel::display {

std::string raster_threads_for(unsigned cores) {
  if (cores == 0) return {};
  return std::to_string(std::min(2 * cores, 16u));
}

void choose_raster_threads() {
  const std::string n = raster_threads_for(std::thread::hardware_concurrency());
  if (!n.empty()) setenv("LP_NUM_THREADS", n.c_str(), 0);
}

}  // namespace quarvel::display
