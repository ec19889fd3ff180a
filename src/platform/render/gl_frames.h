#pragma once
// The OpenGL back end of frame lists: the back surface on the GPU, the
// scene renderer drawing the views into it, and the presenter. Used by the
// window, the headless runner and the page alike.
//
// Needs a current OpenGL 3.3 core (or WebGL2) context for its whole life.
#include <memory>

#include "platform/render/back_surface.h"
#include "platform/render/frame_list.h"
#include "platform/render/presenter.h"
#include "platform/render/scene_renderer.h"

namespace quarvel::render {

class GlFrames : public FrameBackEnd {
 public:
  // The back surface starts as `back` (width x height). Throws
  // std::runtime_error naming what failed.
  GlFrames(int width, int height, const Picture& back);
  ~GlFrames() override;

  void execute(const FrameList& list) override;
  Picture read_surface() const override { return surface_->read(); }
  Picture read_presented() const override { return presenter_->read_presented(); }
  Presenter* presenter() override { return presenter_.get(); }
  double view_cpu_seconds() const override { return view_cpu_; }
  void set_finish_views(bool on) override { finish_views_ = on; }
  void set_look(Look look, int smooth_scale) override;

  SceneRenderer& scene_renderer() { return *renderer_; }
  BackSurface& surface() { return *surface_; }

 private:
  // Declared in the order they are made; released the other way round.
  std::unique_ptr<Presenter> presenter_;
  std::unique_ptr<BackSurface> surface_;
  std::unique_ptr<SceneRenderer> renderer_;
  bool finish_views_ = false;
  double view_cpu_ = 0;
};

}  // namespace quarvel::render
