#pragma once
// The stage: the scene graph's factory and the frames a picture is made
// from. The root and the scene frame live as long as the stage; the device,
// the camera frame and the viewport belong to one opening of a display and
// are made anew each time (so a display initialised again starts from a new
// camera at the origin).
#include <memory>

#include "platform/retained/root.h"

namespace quarvel::rm {

class Stage {
 public:
  // The back clipping plane of a fresh viewport.
  static constexpr float kBack = 5000.0f;

  Root root;
  std::shared_ptr<Frame> scene;  // made at the first open, then kept
  std::shared_ptr<Frame> camera;
  std::shared_ptr<Device> device;
  std::shared_ptr<Viewport> viewport;

  // Makes a device drawing through `backend` (Gouraud shading, nearest
  // texels), a camera frame (child of the scene frame, at its origin) and a
  // viewport over the whole device with its back plane at kBack.
  void open(std::shared_ptr<RenderBackend> backend, int width, int height);
  // Releases the viewport and the device and takes the camera out of the
  // scene frame. Does nothing when not open.
  void close();
  bool is_open() const { return device != nullptr; }

  // Clears the viewport and draws the scene frame into it, as one list.
  // Only when open.
  void render();
};

}  // namespace quarvel::rm
