#include "platform/render/backdrop.h"

#include "platform/render/gl_util.h"

namespace quarvel::render {

namespace {
bool same_rect(const rm::Rect& a, const rm::Rect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}
}  // namespace

bool Backdrop::Key::operator==(const Key& o) const {
  return texture == o.texture && revision == o.revision && same_rect(rect, o.rect) && same_rect(clipped, o.clipped);
}

Backdrop::~Backdrop() {
  if (fbo_) glDeleteFramebuffers(1, &fbo_);
  if (tex_) glDeleteTextures(1, &tex_);
}

void Backdrop::place(const Key& key) const {
  glViewport(key.rect.x, height_ - (key.rect.y + key.rect.height), key.rect.width, key.rect.height);
  glEnable(GL_SCISSOR_TEST);
  glScissor(key.clipped.x, height_ - (key.clipped.y + key.clipped.height), key.clipped.width, key.clipped.height);
}

void Backdrop::stretch(const Key& key, GLuint texture, const BackgroundProgram& pass) {
  place(key);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture);
  pass.draw();
  ++stretches_;
}

void Backdrop::draw(GLuint target, const Key& key, GLuint texture, const BackgroundProgram& pass) {
  if (multisampled_) {
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    stretch(key, texture, pass);
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  if (!held_ || !(key == key_)) {
    if (!tex_) {
      tex_ = make_texture(GL_RGBA8, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, GL_NEAREST);
      glGenFramebuffers(1, &fbo_);
      glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
      glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex_, 0);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    stretch(key, texture, pass);
    key_ = key;
    held_ = true;
  }
  // The same pixels, to the same place: a plain copy, which a software
  // rasteriser runs as a memory copy.
  glDisable(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
  const GLint x0 = key.clipped.x, y0 = height_ - (key.clipped.y + key.clipped.height);
  const GLint x1 = x0 + key.clipped.width, y1 = y0 + key.clipped.height;
  glBlitFramebuffer(x0, y0, x1, y1, x0, y0, x1, y1, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, target);
}

}  // namespace quarvel::render
