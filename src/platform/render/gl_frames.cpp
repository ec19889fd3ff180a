#include "platform/render/gl_frames.h"

#include <ctime>

namespace quarvel::render {

GlFrames::GlFrames(int width, int height, const Picture& back)
    : presenter_(std::make_unique<Presenter>(width, height)),
      surface_(std::make_unique<BackSurface>(width, height)) {
  surface_->upload(back);
  renderer_ = std::make_unique<SceneRenderer>(*surface_);
}

GlFrames::~GlFrames() = default;

void GlFrames::execute(const FrameList& list) {
  for (const FrameCommand& command : list.commands) {
    if (const auto* fill = std::get_if<FillCommand>(&command)) {
      if (fill->step > 1) {
        surface_->fill_rows(fill->rect, fill->step, fill->argb);
      } else {
        surface_->fill_rect(fill->rect, fill->argb);
      }
    } else if (const auto* pic = std::get_if<PictureCommand>(&command)) {
      if (pic->stretched) {
        surface_->blend_stretched(*pic->picture, pic->key, pic->revision, pic->rect, pic->opacity, pic->transparent,
                                  pic->key_argb);
      } else {
        surface_->copy_picture(*pic->picture, pic->key, pic->revision, pic->rect.x, pic->rect.y, pic->transparent,
                               pic->key_argb);
      }
    } else if (const auto* mask = std::get_if<MaskCommand>(&command)) {
      surface_->draw_mask(mask->mask, mask->box, mask->argb);
    } else if (const auto* view = std::get_if<ViewCommand>(&command)) {
      const std::clock_t started = std::clock();
      renderer_->draw(view->list);
      if (finish_views_) glFinish();
      view_cpu_ += static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
    } else if (const auto* present = std::get_if<PresentCommand>(&command)) {
      presenter_->present(surface_->framebuffer(), present->ramp, present->dx, present->dy);
    } else if (const auto* surface = std::get_if<SurfaceCommand>(&command)) {
      surface_->upload(*surface->picture);
    }
  }
}

void GlFrames::set_look(Look look, int smooth_scale) {
  renderer_->set_smooth(look == Look::Smooth ? smooth_scale : 0);
  presenter_->set_look(look, smooth_scale, renderer_->scene_texture());
}

}  // namespace quarvel::render
