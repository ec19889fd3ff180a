#include "platform/display/raster_threads.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace quarvel::display {

std::string raster_threads_for(unsigned cores, RasterUse use) {
  if (cores == 0) return {};
  return std::to_string(std::min(use == RasterUse::Frames ? 2 * cores : cores, 16u));
}

void choose_raster_threads(RasterUse use) {
  const std::string n = raster_threads_for(std::thread::hardware_concurrency(), use);
  if (!n.empty()) setenv("LP_NUM_THREADS", n.c_str(), 0);
}

}  // namespace quarvel::display
