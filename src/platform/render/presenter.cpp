#include "platform/render/presenter.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/render/gl_util.h"

namespace quarvel::render {
namespace {

// The ramp pass, at the picture's own size: one triangle over it, texels
// fetched by integer coordinates, so the pass is exact (the output k / 255
// is stored back as k).
const char* kFragment = R"(#version 330 core
uniform sampler2D pic;     // the presented picture
uniform usampler2D lut;    // 256 x 1: the 8-bit red, green and blue levels
out vec4 colour;
void main() {
  ivec3 i = ivec3(texelFetch(pic, ivec2(gl_FragCoord.xy), 0).rgb * 255.0 + 0.5);
  colour = vec4(vec3(texelFetch(lut, ivec2(i.r, 0), 0).r, texelFetch(lut, ivec2(i.g, 0), 0).g,
                     texelFetch(lut, ivec2(i.b, 0), 0).b) / 255.0, 1.0);
}
)";

// The original look: each channel to a level of a 5-6-5 display, dithered
// by a 4 x 4 ordered pattern in the picture's own rows (as look.cpp does
// it on the processor), then the ramp.
const char* kOriginalFragment = R"(#version 330 core
uniform sampler2D pic;
uniform usampler2D lut;
uniform int height;        // the picture's rows, for row 0 at the top
uniform bool identity;     // the ramp changes nothing: no look-up
out vec4 colour;
int widen(int v, int bits) { return (v << (8 - bits)) | (v >> (2 * bits - 8)); }
int dither(int c, int bits, int t) {
  int v = c >> (8 - bits);
  if (widen(v, bits) > c) v -= 1;
  int low = widen(v, bits);
  if (v >= (1 << bits) - 1 || low == c) return low;
  int high = widen(v + 1, bits);
  return (c - low) * 32 > (2 * t + 1) * (high - low) ? high : low;
}
void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  ivec3 i = ivec3(texelFetch(pic, p, 0).rgb * 255.0 + 0.5);
  // The 4 x 4 Bayer threshold from the bits of x ^ y and y (no table: an
  // indexed array costs a software rasteriser far more than a few bit
  // operations).
  int y = height - 1 - p.y, a = p.x ^ y;
  int t = ((a & 1) << 3) | ((y & 1) << 2) | (a & 2) | ((y >> 1) & 1);
  i = ivec3(dither(i.r, 5, t), dither(i.g, 6, t), dither(i.b, 5, t));
  if (identity) {
    colour = vec4(vec3(i) / 255.0, 1.0);
    return;
  }
  colour = vec4(vec3(texelFetch(lut, ivec2(i.r, 0), 0).r, texelFetch(lut, ivec2(i.g, 0), 0).g,
                     texelFetch(lut, ivec2(i.b, 0), 0).b) / 255.0, 1.0);
}
)";

// The smooth look, at `scale` times the picture's size: where the picture's
// pixel is marked as the 3D's (alpha 0), the 3D drawn at this size (moved
// as the picture was for a scroll), else the picture's pixel; then the ramp.
const char* kSmoothFragment = R"(#version 330 core
uniform sampler2D pic;
uniform usampler2D lut;
uniform sampler2D scene;   // the 3D at this size
uniform int scale;
uniform ivec2 shift;       // the present's move, in this size's GL pixels
out vec4 colour;
void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  vec4 c = texelFetch(pic, p / scale, 0);
  if (c.a < 0.5) c = texelFetch(scene, p - shift, 0);
  ivec3 i = ivec3(c.rgb * 255.0 + 0.5);
  colour = vec4(vec3(texelFetch(lut, ivec2(i.r, 0), 0).r, texelFetch(lut, ivec2(i.g, 0), 0).g,
                     texelFetch(lut, ivec2(i.b, 0), 0).b) / 255.0, 1.0);
}
)";

GLuint compile_look(const char* fragment) {
  std::string error;
  const GLuint program = compile_program(kFullViewportVertex, fragment, &error);
  if (!program) throw std::runtime_error("presentation shader: " + error);
  glUseProgram(program);
  glUniform1i(glGetUniformLocation(program, "pic"), 0);
  glUniform1i(glGetUniformLocation(program, "lut"), 1);
  glUniform1i(glGetUniformLocation(program, "scene"), 2);
  return program;
}
}  // namespace

Rect letterbox(int w, int h, int pic_w, int pic_h) {
  if (w <= 0 || h <= 0 || pic_w <= 0 || pic_h <= 0) return {};
  const int k = std::min(w / pic_w, h / pic_h);
  int rw, rh;
  if (k >= 1) {
    // The largest whole multiple: every picture pixel k x k window pixels.
    rw = k * pic_w;
    rh = k * pic_h;
  } else if (static_cast<long>(w) * pic_h >= static_cast<long>(h) * pic_w) {
    // Smaller than the picture: the largest rectangle of its shape
    // (compared in integers).
    rh = h;
    rw = static_cast<int>(static_cast<long>(h) * pic_w / pic_h);
  } else {
    rw = w;
    rh = static_cast<int>(static_cast<long>(w) * pic_h / pic_w);
  }
  return {(w - rw) / 2, (h - rh) / 2, rw, rh};
}

Presenter::Presenter(int width, int height)
    : width_(width), height_(height), out_w_(width), out_h_(height) {
  program_ = compile_look(kFragment);
  glGenVertexArrays(1, &vao_);

  lut_tex_ = make_texture(GL_RGBA8UI, 256, 1, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, GL_NEAREST);
  shown_tex_ = make_texture(GL_RGBA8, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, GL_NEAREST);
  out_tex_ = make_texture(GL_RGBA8, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, GL_NEAREST);
  GLuint* fbos[] = {&shown_fbo_, &out_fbo_};
  GLuint texs[] = {shown_tex_, out_tex_};
  for (int i = 0; i < 2; ++i) {
    glGenFramebuffers(1, fbos[i]);
    glBindFramebuffer(GL_FRAMEBUFFER, *fbos[i]);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texs[i], 0);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      throw std::runtime_error("presentation framebuffer incomplete");
    }
  }
  glDisable(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_FRAMEBUFFER, shown_fbo_);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  set_ramp(GammaRamp::identity());
}

Presenter::~Presenter() {
  GLuint fbos[] = {shown_fbo_, out_fbo_};
  glDeleteFramebuffers(2, fbos);
  GLuint tex[] = {lut_tex_, shown_tex_, out_tex_};
  glDeleteTextures(3, tex);
  for (ReadBuffer& r : reads_in_) {
    if (r.done) glDeleteSync(r.done);
    glDeleteBuffers(1, &r.buffer);
  }
  glDeleteVertexArrays(1, &vao_);
  glDeleteProgram(program_);
  if (caption_fbo_) glDeleteFramebuffers(1, &caption_fbo_);
  if (caption_tex_) glDeleteTextures(1, &caption_tex_);
  if (original_program_) glDeleteProgram(original_program_);
  if (smooth_program_) glDeleteProgram(smooth_program_);
}

void Presenter::set_look(Look look, int scale, GLuint scene) {
  look_ = look;
  scale_ = look == Look::Smooth ? std::clamp(scale, 1, 4) : 1;
  scene_ = look == Look::Smooth ? scene : 0;
  if (look == Look::Smooth && !scene_) look_ = Look::Sharp;  // nothing to take the 3D from
  size_output();
}

void Presenter::set_caption(const Picture& caption) {
  caption_w_ = std::min(caption.width, width_);
  caption_h_ = std::min(caption.height, height_);
  if (caption.empty() || caption_w_ <= 0 || caption_h_ <= 0) {
    caption_w_ = caption_h_ = 0;
    return;
  }
  if (!caption_tex_) {
    caption_tex_ = make_texture(GL_RGBA8, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, GL_NEAREST);
    glGenFramebuffers(1, &caption_fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, caption_fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, caption_tex_, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  // GL rows: the caption's bottom row first.
  std::vector<uint32_t> rows(static_cast<size_t>(caption_w_) * caption_h_);
  for (int y = 0; y < caption_h_; ++y)
    std::copy_n(&caption.pixels[static_cast<size_t>(caption_h_ - 1 - y) * caption.width], caption_w_,
                &rows[static_cast<size_t>(y) * caption_w_]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glBindTexture(GL_TEXTURE_2D, caption_tex_);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, caption_w_, caption_h_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
  glBindTexture(GL_TEXTURE_2D, 0);
}

void Presenter::size_output() {
  const int w = width_ * scale_, h = height_ * scale_;
  if (w == out_w_ && h == out_h_) return;
  out_w_ = w;
  out_h_ = h;
  glBindTexture(GL_TEXTURE_2D, out_tex_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, out_w_, out_h_, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindTexture(GL_TEXTURE_2D, 0);
}

GLuint Presenter::look_program() {
  switch (look_) {
    case Look::Original:
      if (!original_program_) original_program_ = compile_look(kOriginalFragment);
      return original_program_;
    case Look::Smooth:
      if (!smooth_program_) smooth_program_ = compile_look(kSmoothFragment);
      return smooth_program_;
    case Look::Sharp:
      break;
  }
  return program_;
}

void Presenter::set_ramp(const GammaRamp& ramp) {
  if (lut_ready_ && ramp == ramp_) return;
  lut_ready_ = true;
  ramp_ = ramp;
  uint8_t lut[256 * 4];
  bool same = true;
  for (int i = 0; i < 256; ++i) {
    lut[i * 4 + 0] = GammaRamp::to_8bit(ramp.red[i]);
    lut[i * 4 + 1] = GammaRamp::to_8bit(ramp.green[i]);
    lut[i * 4 + 2] = GammaRamp::to_8bit(ramp.blue[i]);
    lut[i * 4 + 3] = 255;
    same = same && lut[i * 4] == i && lut[i * 4 + 1] == i && lut[i * 4 + 2] == i;
  }
  identity_ = same;
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, lut_tex_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RGBA_INTEGER, GL_UNSIGNED_BYTE, lut);
  glActiveTexture(GL_TEXTURE0);
}

void Presenter::present(const Picture& back, const GammaRamp& ramp) {
  if (back.width != width_ || back.height != height_) return;
  set_ramp(ramp);
  shift_x_ = shift_y_ = 0;
  std::vector<uint32_t> rows(back.pixels.size());
  for (int y = 0; y < height_; ++y)
    std::copy_n(&back.pixels[static_cast<size_t>(height_ - 1 - y) * width_], width_,
                &rows[static_cast<size_t>(y) * width_]);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glBindTexture(GL_TEXTURE_2D, shown_tex_);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
}

void Presenter::present(GLuint back, const GammaRamp& ramp, int dx, int dy) {
  set_ramp(ramp);
  glDisable(GL_SCISSOR_TEST);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, back);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shown_fbo_);
  if (dx == 0 && dy == 0) {
    glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  } else {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    // Down on the picture is down in GL rows too, so dy is negated.
    const int x0 = std::max(0, -dx), x1 = std::min(width_, width_ - dx);
    const int y0 = std::max(0, dy), y1 = std::min(height_, height_ + dy);
    if (x1 > x0 && y1 > y0)
      glBlitFramebuffer(x0, y0, x1, y1, x0 + dx, y0 - dy, x1 + dx, y1 - dy, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  shift_x_ = dx;
  shift_y_ = -dy;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void Presenter::blit_to(GLuint target, int w, int h) {
  if (w <= 0 || h <= 0) return;
  // The picture's place is that of the back surface's size in every look,
  // so that a window point maps to the same picture pixel.
  const Rect r = letterbox(w, h, width_, height_);
  glBindFramebuffer(GL_FRAMEBUFFER, target);
  glClearColor(0, 0, 0, 1);
  if (r.w <= 0 || r.h <= 0) {
    glDisable(GL_SCISSOR_TEST);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return;
  }
  // Only the bars: left, right, below and above the picture.
  const Rect bars[] = {{0, 0, r.x, h},
                       {r.x + r.w, 0, w - (r.x + r.w), h},
                       {r.x, 0, r.w, r.y},
                       {r.x, r.y + r.h, r.w, h - (r.y + r.h)}};
  glEnable(GL_SCISSOR_TEST);
  for (const Rect& b : bars) {
    if (b.w <= 0 || b.h <= 0) continue;
    glScissor(b.x, b.y, b.w, b.h);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);
  // The ramp at the picture's own size, then one plain copy, which llvmpipe
  // runs on its fast path: a whole multiple of the picture copies pixels
  // as they are; a window smaller than the picture gets it filtered down.
  const GLuint source = after_ramp();
  const bool whole = r.w % out_w_ == 0 && r.h % out_h_ == 0;
  glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
  glBlitFramebuffer(0, 0, out_w_, out_h_, r.x, r.y, r.x + r.w, r.y + r.h, GL_COLOR_BUFFER_BIT,
                    whole ? GL_NEAREST : GL_LINEAR);
  if (caption_w_ > 0) {
    // At the picture's top left, as large as the picture is shown.
    const int cw = caption_w_ * r.w / width_, ch = caption_h_ * r.h / height_;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, caption_fbo_);
    glBlitFramebuffer(0, 0, caption_w_, caption_h_, r.x, r.y + r.h - ch, r.x + cw, r.y + r.h, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

GLuint Presenter::after_ramp() {
  if (identity_ && look_ == Look::Sharp) return shown_fbo_;
  glBindFramebuffer(GL_FRAMEBUFFER, out_fbo_);
  glDisable(GL_SCISSOR_TEST);
  glViewport(0, 0, out_w_, out_h_);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  const GLuint program = look_program();
  glUseProgram(program);
  if (look_ == Look::Original) {
    glUniform1i(glGetUniformLocation(program, "height"), height_);
    glUniform1i(glGetUniformLocation(program, "identity"), identity_ ? 1 : 0);
  }
  if (look_ == Look::Smooth) {
    glUniform1i(glGetUniformLocation(program, "scale"), scale_);
    glUniform2i(glGetUniformLocation(program, "shift"), shift_x_ * scale_, shift_y_ * scale_);
    glActiveTexture(GL_TEXTURE2);
    glBindTexture(GL_TEXTURE_2D, scene_);
  }
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, lut_tex_);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, shown_tex_);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(0);
  return out_fbo_;
}

Picture Presenter::top_first(const uint32_t* rows, int w, int h) const {
  Picture out(w, h);
  for (int y = 0; y < h; ++y) {
    uint32_t* d = &out.pixels[static_cast<size_t>(y) * w];
    const uint32_t* s = &rows[static_cast<size_t>(h - 1 - y) * w];
    for (int x = 0; x < w; ++x) d[x] = s[x] | 0xFF000000u;
  }
  return out;
}

Picture Presenter::read_presented() {
  std::vector<uint32_t> rows(static_cast<size_t>(out_w_) * out_h_);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, after_ramp());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(0, 0, out_w_, out_h_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, rows.data());
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return top_first(rows.data(), out_w_, out_h_);
}

bool Presenter::start_read() {
  if (reads_ == kReadBuffers) return false;
  ReadBuffer& r = reads_in_[(first_read_ + reads_) % kReadBuffers];
  const auto bytes = static_cast<GLsizeiptr>(out_w_) * out_h_ * 4;
  if (!r.buffer) glGenBuffers(1, &r.buffer);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, r.buffer);
  if (r.w != out_w_ || r.h != out_h_) {
    glBufferData(GL_PIXEL_PACK_BUFFER, bytes, nullptr, GL_STREAM_READ);
    r.w = out_w_;
    r.h = out_h_;
  }
  glBindFramebuffer(GL_READ_FRAMEBUFFER, after_ramp());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(0, 0, out_w_, out_h_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  r.done = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  glFlush();  // start drawing now, not at the next wait
  ++reads_;
  return true;
}

bool Presenter::oldest_read_done() const {
  if (reads_ == 0) return false;
  const GLenum state = glClientWaitSync(reads_in_[first_read_].done, 0, 0);
  return state == GL_ALREADY_SIGNALED || state == GL_CONDITION_SATISFIED;
}

Picture Presenter::finish_read() {
  if (reads_ == 0) return {};
  ReadBuffer& r = reads_in_[first_read_];
  first_read_ = (first_read_ + 1) % kReadBuffers;
  --reads_;
  // A wait that fails (a lost context) still reads the buffer: GL orders
  // the map after the copy anyway.
  while (glClientWaitSync(r.done, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000) == GL_TIMEOUT_EXPIRED) {
  }
  glDeleteSync(r.done);
  r.done = nullptr;
  const auto bytes = static_cast<GLsizeiptr>(r.w) * r.h * 4;
  glBindBuffer(GL_PIXEL_PACK_BUFFER, r.buffer);
  Picture out;
  if (const void* data = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, bytes, GL_MAP_READ_BIT)) {
    out = top_first(static_cast<const uint32_t*>(data), r.w, r.h);
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
  } else {
    std::vector<uint32_t> rows(static_cast<size_t>(r.w) * r.h);
    glGetBufferSubData(GL_PIXEL_PACK_BUFFER, 0, bytes, rows.data());
    out = top_first(rows.data(), r.w, r.h);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return out;
}

}  // namespace quarvel::render
