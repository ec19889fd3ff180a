#pragma once
// Presentation: at each flip the back surface is copied (on the GPU, shifted
// when a scroll was asked for) into the presented picture. The window gets
// it through the gamma ramp (a pass at the picture's size, skipped for an
// identity ramp) and scaled by a whole multiple with one plain copy, with
// only the black bars cleared around it. The presented picture comes back
// to the CPU only when read: at once (read_presented), or a frame or more
// late through a few pixel buffers (start_read, finish_read), so that
// reading does not wait for the frame to be drawn. Needs a current OpenGL
// 3.3 core context; the window and headless back ends share it.
//
// The look (look.h) is drawn by the same pass as the ramp: the original
// look dithers the picture to 5-6-5 levels before the ramp; the smooth look
// makes the presented picture `scale` times the back surface's size, taking
// the 3D from a picture of the scene drawn at that size wherever the back
// surface marks a pixel as the 3D's (alpha 0) and the back surface's own
// pixel, scaled, everywhere else.
#include <array>
#include <cstdint>

#include "platform/common/picture.h"
#include "platform/render/gamma.h"
#include "platform/render/gl.h"
#include "platform/render/look.h"
#include "platform/render/surface2d.h"

namespace quarvel::render {

// Where a pic_w x pic_h picture goes in a w x h area (GL coordinates, origin
// bottom left), centred: the largest whole multiple of its size that fits,
// so every pixel stays square and sharp; in an area smaller than the
// picture, the largest rectangle of its shape. The rest is black bars.
Rect letterbox(int w, int h, int pic_w = 640, int pic_h = 480);

class Presenter {
 public:
  // Creates the GL objects; throws std::runtime_error naming what failed.
  Presenter(int width = 640, int height = 480);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Presents `back` (must be width x height), seen through `ramp`.
  void present(const Picture& back, const GammaRamp& ramp);
  // Presents the colour of framebuffer `back` (width x height, GL rows),
  // shifted right by dx and down by dy pixels (the uncovered area black),
  // seen through `ramp`.
  void present(GLuint back, const GammaRamp& ramp, int dx = 0, int dy = 0);

  // Draws the presented picture through the ramp into the letterbox of the
  // framebuffer `target` (0 is the window's), w x h pixels, and clears the
  // black bars around it.
  void blit_to(GLuint target, int w, int h);

  // A caption (a small picture, in back-surface pixels) shown over the
  // picture's top left corner in the window only, scaled with it: it is no
  // part of the presented picture. An empty picture takes it away.
  void set_caption(const Picture& caption);

  // The presented picture after the ramp, row 0 at the top.
  Picture read_presented();

  // Late reading. start_read starts copying what read_presented would give
  // now into the next free one of kReadBuffers pixel buffers, with a fence;
  // a GPU returns at once (Mesa's llvmpipe still waits there for the
  // present's own copy, but not for a later frame). False (nothing started)
  // when every buffer holds a read not yet finished. finish_read hands back
  // the oldest started read, waiting for its fence when it is not done yet
  // (empty when none is started).
  static constexpr int kReadBuffers = 3;
  bool start_read();
  Picture finish_read();
  // Started reads not finished yet, and whether the oldest is done (its
  // finish_read would not wait).
  int reads_in_flight() const { return reads_; }
  bool oldest_read_done() const;

  // True when the current ramp changes nothing (the look-up is skipped).
  bool identity() const { return identity_; }

  // The look of the next presented pictures. For the smooth look, `scale`
  // (1 to 4) is how many times larger than the back surface the presented
  // picture is, and `scene` the texture (that size) of the 3D drawn at that
  // size; the other looks ignore both.
  void set_look(Look look, int scale = 1, GLuint scene = 0);
  Look look() const { return look_; }

  // The back surface's size.
  int width() const { return width_; }
  int height() const { return height_; }
  // The presented picture's size: the back surface's, or `scale` times it
  // in the smooth look.
  int out_width() const { return out_w_; }
  int out_height() const { return out_h_; }

 private:
  void set_ramp(const GammaRamp& ramp);
  // The framebuffer holding the presented picture after the ramp (the
  // presented picture itself when the ramp is the identity).
  GLuint after_ramp();
  // The GL rows (bottom first) as a picture, row 0 at the top, opaque.
  Picture top_first(const uint32_t* rows, int w, int h) const;
  // The pass's program for the current look (compiled at its first use).
  GLuint look_program();
  // Makes the picture after the look and the ramp out_w_ x out_h_.
  void size_output();

  struct ReadBuffer {
    GLuint buffer = 0;
    GLsync done = nullptr;  // signalled once the copy into `buffer` is done
    int w = 0, h = 0;       // the size of the picture read into it
  };
  std::array<ReadBuffer, kReadBuffers> reads_in_{};
  int first_read_ = 0, reads_ = 0;

  int width_, height_;
  int out_w_, out_h_;
  Look look_ = Look::Sharp;
  int scale_ = 1;
  GLuint scene_ = 0;  // the smooth look's 3D picture
  int shift_x_ = 0, shift_y_ = 0;  // of the last present, in GL pixels
  GLuint program_ = 0, vao_ = 0;
  GLuint original_program_ = 0, smooth_program_ = 0;
  GLuint caption_tex_ = 0, caption_fbo_ = 0;
  int caption_w_ = 0, caption_h_ = 0;
  GLuint lut_tex_ = 0;
  GLuint shown_tex_ = 0, shown_fbo_ = 0;  // the presented picture, before the ramp
  GLuint out_tex_ = 0, out_fbo_ = 0;      // after the ramp, for reading
  GammaRamp ramp_ = GammaRamp::identity();
  bool identity_ = true;
  bool lut_ready_ = false;
};

}  // namespace quarvel::render
