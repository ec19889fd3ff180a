#pragma once
// Presentation: the back surface goes through the gamma ramp into the
// presented picture (a 640 x 480 framebuffer of our own), which is then
// scaled onto the window, or read back as a screenshot. Needs a current
// OpenGL 3.3 core context; the window and headless back ends share it.
#include <cstdint>

#include "platform/common/picture.h"
#include "platform/render/gamma.h"
#include "platform/render/gl.h"
#include "platform/render/surface2d.h"

namespace quarvel::render {

// The largest rectangle of aspect `pic_w`:`pic_h` centred in a w x h area
// (GL coordinates, origin bottom left). The rest is black bars.
Rect letterbox(int w, int h, int pic_w = 640, int pic_h = 480);

class Presenter {
 public:
  // Creates the GL objects; throws std::runtime_error naming what failed.
  Presenter(int width = 640, int height = 480);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Uploads `back` (must be width x height) and draws it through `ramp` into
  // the presented picture.
  void present(const Picture& back, const GammaRamp& ramp);

  // Scales the presented picture into the largest 4:3 rectangle of the
  // framebuffer `target` (0 is the window's), w x h pixels, with black bars.
  void blit_to(GLuint target, int w, int h);

  // The presented picture, row 0 at the top.
  Picture read_presented() const;

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_;
  GLuint program_ = 0, vao_ = 0;
  GLuint back_tex_ = 0, ramp_tex_ = 0;
  GLuint out_tex_ = 0, out_fbo_ = 0;
  // The presented picture at a whole multiple of its size, for scaling.
  void ensure_scaled(int k);
  GLuint scaled_tex_ = 0, scaled_fbo_ = 0;
  int scaled_k_ = 0;
};

}  // namespace quarvel::render
