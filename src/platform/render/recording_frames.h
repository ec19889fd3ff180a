#pragma once
// A back end of frame lists without GL: it keeps the last list executed
// and counts them, and draws nothing. It lets the show run, and its tests
// look at what the front end asked for, on a machine without a GPU driver
// or a display. The back surface stays as it was given; nothing is
// presented.
#include <cstdint>

#include "platform/render/frame_list.h"

namespace quarvel::render {

class RecordingFrames : public FrameBackEnd {
 public:
  explicit RecordingFrames(const Picture& back) : surface_(back) {}

  void execute(const FrameList& list) override;
  Picture read_surface() const override { return surface_; }
  Picture read_presented() const override { return {}; }

  // The last list executed (empty before the first), and how many lists,
  // views and presents were executed so far.
  const FrameList& last() const { return last_; }
  uint64_t lists() const { return lists_; }
  uint64_t views() const { return views_; }
  uint64_t presents() const { return presents_; }

 private:
  Picture surface_;
  FrameList last_;
  uint64_t lists_ = 0, views_ = 0, presents_ = 0;
};

}  // namespace quarvel::render
