#include "platform/render/recording_frames.h"

namespace quarvel::render {

void RecordingFrames::execute(const FrameList& list) {
  last_ = list;
  ++lists_;
  for (const FrameCommand& command : list.commands) {
    views_ += std::holds_alternative<ViewCommand>(command);
    presents_ += std::holds_alternative<PresentCommand>(command);
    if (const auto* surface = std::get_if<SurfaceCommand>(&command)) surface_ = *surface->picture;
  }
}

}  // namespace quarvel::render
