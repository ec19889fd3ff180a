#pragma once
// The background picture of a view's clear, kept stretched. Each clear with
// a background picture would draw it stretched over the whole view: a
// filtered pass of a screen's pixels, which on a software rasteriser costs
// more than the rest of a light scene. The picture is drawn once into a
// texture the size of the surface, by the same pass at the same place, and
// every later clear with the same picture and rectangles copies those
// pixels (exactly the ones the pass gives) into the surface. The texture is
// made at the first use.
#include <cstdint>

#include "platform/render/gl.h"
#include "platform/render/shaders.h"
#include "platform/retained/viewport.h"

namespace quarvel::render {

class Backdrop {
 public:
  // What a stretched picture depends on: the picture (its texture object's
  // id and revision), the rectangle it is stretched over and the part of it
  // drawn (both in surface pixels, y down).
  struct Key {
    uint64_t texture = 0;
    uint32_t revision = 0;
    rm::Rect rect, clipped;
    bool operator==(const Key& o) const;
  };

  // With `multisampled` the target is a multisampled picture, which a copy
  // may not write to in WebGL2 (nor in OpenGL ES): the picture is then
  // stretched straight into it at every clear.
  Backdrop(int width, int height, bool multisampled = false)
      : width_(width), height_(height), multisampled_(multisampled) {}
  ~Backdrop();
  Backdrop(const Backdrop&) = delete;
  Backdrop& operator=(const Backdrop&) = delete;

  // Puts the picture `key` names (bound as GL texture `texture`) stretched
  // over key.rect into `target`, within key.clipped only. Leaves the
  // scissor test off and `target` bound.
  void draw(GLuint target, const Key& key, GLuint texture, const BackgroundProgram& pass);

  // Times the picture was stretched (the rest were copies).
  uint64_t stretches() const { return stretches_; }

 private:
  // The viewport and scissor of the surface for `key`, in GL's rows.
  void place(const Key& key) const;

  // Stretches the picture into what is bound, within key.clipped.
  void stretch(const Key& key, GLuint texture, const BackgroundProgram& pass);

  int width_, height_;
  bool multisampled_;
  GLuint tex_ = 0, fbo_ = 0;
  bool held_ = false;  // whether tex_ holds the picture of key_
  Key key_;
  uint64_t stretches_ = 0;
};

}  // namespace quarvel::render
