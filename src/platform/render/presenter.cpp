#include "platform/render/presenter.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/render/gl_util.h"

namespace quarvel::render {
namespace {

// A full-screen triangle; the fragment shader fetches texels by integer
// coordinates, so the pass is exact: no filtering, no float colour maths
// beyond the final k / 255 that the framebuffer stores back as k.
const char* kVertex = R"(#version 330 core
void main() {
  vec2 p = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));
  gl_Position = vec4(p, 0.0, 1.0);
}
)";

const char* kFragment = R"(#version 330 core
uniform sampler2D back;     // the back surface, row 0 = top
uniform usampler2D ramp;    // 256 x 3: red, green, blue levels
uniform int height;
out vec4 colour;
uint level(int channel, float v) {
  int i = int(v * 255.0 + 0.5);
  uint l = texelFetch(ramp, ivec2(i, channel), 0).r;
  return (l * 255u + 32767u) / 65535u;
}
void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  vec3 c = texelFetch(back, ivec2(p.x, height - 1 - p.y), 0).rgb;
  colour = vec4(float(level(0, c.r)), float(level(1, c.g)), float(level(2, c.b)), 255.0) / 255.0;
}
)";

// A new w x h texture of `internal` format, filtered by `filter`.
GLuint make_texture(GLenum internal, int w, int h, GLenum format, GLenum type, GLenum filter) {
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(filter));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(filter));
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internal), w, h, 0, format, type, nullptr);
  return tex;
}

}  // namespace

Rect letterbox(int w, int h, int pic_w, int pic_h) {
  if (w <= 0 || h <= 0) return {};
  // Compare w / h with pic_w / pic_h in integers.
  int rw, rh;
  if (static_cast<long>(w) * pic_h >= static_cast<long>(h) * pic_w) {
    rh = h;
    rw = static_cast<int>(static_cast<long>(h) * pic_w / pic_h);
  } else {
    rw = w;
    rh = static_cast<int>(static_cast<long>(w) * pic_h / pic_w);
  }
  return {(w - rw) / 2, (h - rh) / 2, rw, rh};
}

Presenter::Presenter(int width, int height) : width_(width), height_(height) {
  std::string error;
  program_ = compile_program(kVertex, kFragment, &error);
  if (!program_) throw std::runtime_error("presentation shader: " + error);
  glUseProgram(program_);
  glUniform1i(glGetUniformLocation(program_, "back"), 0);
  glUniform1i(glGetUniformLocation(program_, "ramp"), 1);
  glUniform1i(glGetUniformLocation(program_, "height"), height_);
  glGenVertexArrays(1, &vao_);

  back_tex_ = make_texture(GL_RGBA8, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, GL_NEAREST);
  ramp_tex_ = make_texture(GL_R16UI, 256, 3, GL_RED_INTEGER, GL_UNSIGNED_SHORT, GL_NEAREST);
  out_tex_ = make_texture(GL_RGBA8, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, GL_NEAREST);
  glGenFramebuffers(1, &out_fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, out_fbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, out_tex_, 0);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  if (status != GL_FRAMEBUFFER_COMPLETE) throw std::runtime_error("presentation framebuffer incomplete");
}

Presenter::~Presenter() {
  GLuint fbos[] = {out_fbo_, scaled_fbo_};
  glDeleteFramebuffers(2, fbos);
  GLuint tex[] = {back_tex_, ramp_tex_, out_tex_, scaled_tex_};
  glDeleteTextures(4, tex);
  glDeleteVertexArrays(1, &vao_);
  glDeleteProgram(program_);
}

void Presenter::present(const Picture& back, const GammaRamp& ramp) {
  if (back.width != width_ || back.height != height_) return;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, back_tex_);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                  back.pixels.data());
  uint16_t levels[3 * 256];
  std::copy(ramp.red.begin(), ramp.red.end(), levels);
  std::copy(ramp.green.begin(), ramp.green.end(), levels + 256);
  std::copy(ramp.blue.begin(), ramp.blue.end(), levels + 512);
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, ramp_tex_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 3, GL_RED_INTEGER, GL_UNSIGNED_SHORT, levels);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

  glBindFramebuffer(GL_FRAMEBUFFER, out_fbo_);
  glViewport(0, 0, width_, height_);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_CULL_FACE);
  glUseProgram(program_);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(0);
  glActiveTexture(GL_TEXTURE0);
}

void Presenter::blit_to(GLuint target, int w, int h) {
  const Rect r = letterbox(w, h, width_, height_);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, w, h);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  if (r.w > 0 && r.h > 0) {
    // Sharp scaling: whole multiples of a pixel by copying (crisp), and the
    // remaining fraction by filtering, so pixels keep one size across the
    // picture instead of alternating widths.
    const int k = std::max(1, std::min(r.w / width_, r.h / height_));
    if (r.w == k * width_ && r.h == k * height_) {
      glBindFramebuffer(GL_READ_FRAMEBUFFER, out_fbo_);
      glBlitFramebuffer(0, 0, width_, height_, r.x, r.y, r.x + r.w, r.y + r.h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    } else {
      GLuint source = out_fbo_;
      if (k > 1) {
        ensure_scaled(k);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, out_fbo_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, scaled_fbo_);
        glBlitFramebuffer(0, 0, width_, height_, 0, 0, k * width_, k * height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
        source = scaled_fbo_;
      }
      glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
      glBlitFramebuffer(0, 0, k * width_, k * height_, r.x, r.y, r.x + r.w, r.y + r.h, GL_COLOR_BUFFER_BIT,
                        GL_LINEAR);
    }
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void Presenter::ensure_scaled(int k) {
  if (scaled_k_ == k) return;
  glDeleteTextures(1, &scaled_tex_);
  scaled_tex_ = make_texture(GL_RGBA8, k * width_, k * height_, GL_RGBA, GL_UNSIGNED_BYTE, GL_LINEAR);
  if (!scaled_fbo_) glGenFramebuffers(1, &scaled_fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, scaled_fbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, scaled_tex_, 0);
  scaled_k_ = k;
}

Picture Presenter::read_presented() const {
  Picture out(width_, height_);
  std::vector<uint32_t> rows(static_cast<size_t>(width_) * height_);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, out_fbo_);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  for (int y = 0; y < height_; ++y) {
    std::copy_n(&rows[static_cast<size_t>(height_ - 1 - y) * width_], width_,
                &out.pixels[static_cast<size_t>(y) * width_]);
  }
  return out;
}

}  // namespace quarvel::render
