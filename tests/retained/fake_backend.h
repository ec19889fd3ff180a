#pragma once
// A back end that records what the viewport hands it.
#include <utility>
#include <vector>

#include "platform/retained/viewport.h"

namespace quarvel::rm::testing {

struct RecordingBackend : RenderBackend {
  std::vector<RenderList> lists;
  void execute(RenderList&& list) override { lists.push_back(std::move(list)); }
};

}  // namespace quarvel::rm::testing
