#pragma once
// A back end that records what the viewport hands it.
#include <vector>

#include "platform/retained/viewport.h"

namespace quarvel::rm::testing {

struct RecordingBackend : RenderBackend {
  struct Clear {
    Rect rect;
    const Texture* background;
    uint32_t color;
  };
  std::vector<Clear> clears;
  std::vector<RenderList> lists;
  int updates = 0;
  void clear(const Rect& r, const Texture* bg, uint32_t color) override { clears.push_back({r, bg, color}); }
  void draw(const RenderList& list) override { lists.push_back(list); }
  void update() override { ++updates; }
};

}  // namespace quarvel::rm::testing
