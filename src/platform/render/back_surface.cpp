#include "platform/render/back_surface.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "platform/render/gl_util.h"

namespace quarvel::render {
namespace {

// Every fragment works on whole pixels: the source texel is found with the
// same integer sums as the CPU draw (nearest sample of a stretch), colours
// are 8-bit integers, and the output k / 255 is stored back as k. Each kind
// of draw is a program of its own (STRETCHED, KEYED, BLEND, MASK defined or
// not): branches on uniforms cost llvmpipe every pixel.
const char* kFragmentBody = R"(
uniform sampler2D src;     // the picture, row 0 = top
uniform sampler2D dst;     // a copy of the surface (GL rows), for blends
uniform ivec4 rect;        // destination x, y, w, h (row 0 = top)
uniform int height;        // of the surface
uniform ivec2 src_size;
uniform int opacity;       // 1..254
uniform uvec3 key;
uniform vec4 ink;
out vec4 colour;
uvec3 bytes(vec4 c) { return uvec3(c.rgb * 255.0 + 0.5); }
void main() {
  ivec2 g = ivec2(gl_FragCoord.xy);
  int sx = g.x - rect.x, sy = height - 1 - g.y - rect.y;
#ifdef STRETCHED
  sx = sx * src_size.x / rect.z;
  sy = sy * src_size.y / rect.w;
#endif
  vec4 t = texelFetch(src, ivec2(sx, sy), 0);
#ifdef MASK
  if (t.r < 0.5) discard;
  colour = ink;
#else
  uvec3 s = bytes(t);
#ifdef KEYED
  if (s == key) discard;
#endif
#ifdef BLEND
  uvec3 d = bytes(texelFetch(dst, g, 0));
  uint a = uint(opacity);
  colour = vec4(vec3((s * a + d * (255u - a) + 127u) / 255u) / 255.0, 1.0);
#else
  colour = vec4(vec3(s) / 255.0, 1.0);
#endif
#endif
}
)";

// The gathered fills: whole-pixel rectangles in one colour each, given in
// pixels with row 0 at the top; the colour's bytes are stored as they are.
const char* kFillVertex = R"(#version 330 core
layout(location = 0) in vec2 pos;
layout(location = 1) in vec4 colour_in;
uniform vec2 size;
flat out vec4 colour_v;
void main() {
  colour_v = VERTEX_BGRA(colour_in);
  gl_Position = vec4(pos.x * 2.0 / size.x - 1.0, 1.0 - pos.y * 2.0 / size.y, 0.0, 1.0);
}
)";
const char* kFillFragment = R"(#version 330 core
flat in vec4 colour_v;
out vec4 colour;
void main() { colour = colour_v; }
)";

// Every step-th row from the rectangle's top (step a power of two: a mask,
// since integer division is slow on llvmpipe); the others are left as they are.
const char* kRowsFragment = R"(#version 330 core
uniform int height;
uniform int first;  // the rectangle's top row (row 0 = top)
uniform int step;
uniform vec4 ink;
out vec4 colour;
void main() {
  if (((height - 1 - int(gl_FragCoord.y) - first) & (step - 1)) != 0) discard;
  colour = ink;
}
)";

// Sets a vec4 uniform to an 0xFFRRGGBB colour (alpha one).
void set_colour(GLint location, uint32_t argb) {
  glUniform4f(location, ((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f, 1.0f);
}

}  // namespace

BackSurface::BackSurface(int width, int height) : width_(std::max(width, 1)), height_(std::max(height, 1)) {
  std::string error;
  glGenVertexArrays(1, &vao_);
  fill_program_ = compile_program(kFillVertex, kFillFragment, &error);
  if (!fill_program_) throw std::runtime_error("back surface fill shader: " + error);
  glUseProgram(fill_program_);
  glUniform2f(glGetUniformLocation(fill_program_, "size"), static_cast<float>(width_), static_cast<float>(height_));
  glGenVertexArrays(1, &fill_vao_);
  glGenBuffers(1, &fill_buffer_);
  glBindVertexArray(fill_vao_);
  glBindBuffer(GL_ARRAY_BUFFER, fill_buffer_);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(FillVertex), nullptr);
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(FillVertex),
                        reinterpret_cast<void*>(offsetof(FillVertex, bgra)));
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);

  rows_program_ = compile_program(kFullViewportVertex, kRowsFragment, &error);
  if (!rows_program_) throw std::runtime_error("back surface rows shader: " + error);
  glUseProgram(rows_program_);
  glUniform1i(glGetUniformLocation(rows_program_, "height"), height_);
  u_rows_first_ = glGetUniformLocation(rows_program_, "first");
  u_rows_step_ = glGetUniformLocation(rows_program_, "step");
  u_rows_ink_ = glGetUniformLocation(rows_program_, "ink");

  colour_ = make_texture(GL_RGBA8, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, GL_NEAREST);
  dst_copy_ = make_texture(GL_RGBA8, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, GL_NEAREST);
  mask_tex_ = make_texture(GL_R8, 1, 1, GL_RED, GL_UNSIGNED_BYTE, GL_NEAREST);
  glGenRenderbuffers(1, &depth_);
  glBindRenderbuffer(GL_RENDERBUFFER, depth_);
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width_, height_);
  glGenFramebuffers(1, &fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    throw std::runtime_error("back surface framebuffer incomplete");
  }
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0, 0, 0, 1);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

BackSurface::~BackSurface() {
  for (auto& [key, p] : pictures_) glDeleteTextures(1, &p.tex);
  glDeleteFramebuffers(1, &fbo_);
  glDeleteRenderbuffers(1, &depth_);
  GLuint tex[] = {colour_, dst_copy_, mask_tex_};
  glDeleteTextures(3, tex);
  glDeleteProgram(rows_program_);
  glDeleteVertexArrays(1, &vao_);
  for (const Program2d& p : programs_) glDeleteProgram(p.id);
  glDeleteVertexArrays(1, &fill_vao_);
  glDeleteBuffers(1, &fill_buffer_);
  glDeleteProgram(fill_program_);
}

Rect BackSurface::clip(Rect r) const {
  if (r.w <= 0 || r.h <= 0) return {};
  const long x0 = std::max<long>(r.x, 0), y0 = std::max<long>(r.y, 0);
  const long x1 = std::min<long>(static_cast<long>(r.x) + r.w, width_);
  const long y1 = std::min<long>(static_cast<long>(r.y) + r.h, height_);
  if (x1 <= x0 || y1 <= y0) return {};
  return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

void BackSurface::begin_2d(Rect c) {
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glViewport(0, 0, width_, height_);
  glEnable(GL_SCISSOR_TEST);
  glScissor(c.x, height_ - (c.y + c.h), c.w, c.h);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void BackSurface::fill_rect(Rect r, uint32_t argb) {
  const Rect c = clip(r);
  if (c.w <= 0) return;
  if (c.w < width_ || c.h < height_) {
    const float x0 = static_cast<float>(c.x), y0 = static_cast<float>(c.y);
    const float x1 = static_cast<float>(c.x + c.w), y1 = static_cast<float>(c.y + c.h);
    const uint32_t bgra = argb | 0xFF000000u;  // in memory: blue, green, red, alpha
    for (auto [x, y] : {std::pair{x0, y0}, {x1, y0}, {x0, y1}, {x1, y0}, {x1, y1}, {x0, y1}})
      fills_.push_back({x, y, bgra});
    return;
  }
  // The whole surface: what was gathered is covered anyway.
  fills_.clear();
  begin_2d(c);
  glClearColor(((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_SCISSOR_TEST);
}

void BackSurface::fill_rows(Rect r, int step, uint32_t argb) {
  if (step <= 1) return fill_rect(r, argb);
  if ((step & (step - 1)) != 0) {
    for (int y = r.y; y < r.y + r.h; y += step) fill_rect({r.x, y, r.w, 1}, argb);
    return;
  }
  const Rect c = clip(r);
  if (c.w <= 0) return;
  draw_fills();
  begin_2d(c);
  glUseProgram(rows_program_);
  glUniform1i(u_rows_first_, r.y);
  glUniform1i(u_rows_step_, step);
  set_colour(u_rows_ink_, argb);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(0);
  glDisable(GL_SCISSOR_TEST);
}

GLuint BackSurface::picture_texture(const Picture& src, uint64_t key, uint32_t revision) {
  CachedPicture& c = pictures_[key];
  if (c.tex && c.revision == revision && c.width == src.width && c.height == src.height) return c.tex;
  if (!c.tex) c.tex = make_texture(GL_RGBA8, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, GL_NEAREST);
  glBindTexture(GL_TEXTURE_2D, c.tex);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, src.width, src.height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
               src.pixels.data());
  c.revision = revision;
  c.width = src.width;
  c.height = src.height;
  ++texture_uploads_;
  return c.tex;
}

void BackSurface::draw_fills() const {
  if (fills_.empty()) return;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glViewport(0, 0, width_, height_);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glUseProgram(fill_program_);
  glBindVertexArray(fill_vao_);
  glBindBuffer(GL_ARRAY_BUFFER, fill_buffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(fills_.size() * sizeof(FillVertex)), fills_.data(),
               GL_STREAM_DRAW);
  glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(fills_.size()));
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  fills_.clear();
}

const BackSurface::Program2d& BackSurface::program_2d(int kind) {
  Program2d& p = programs_[kind];
  if (p.id) return p;
  std::string source = "#version 330 core\n";
  for (auto [bit, name] : {std::pair{kStretched, "STRETCHED"}, {kKeyed, "KEYED"}, {kBlend, "BLEND"}, {kMask, "MASK"}})
    if (kind & bit) source += std::string("#define ") + name + "\n";
  source += kFragmentBody;
  std::string error;
  p.id = compile_program(kFullViewportVertex, source.c_str(), &error);
  if (!p.id) throw std::runtime_error("back surface shader: " + error);
  auto loc = [&](const char* n) { return glGetUniformLocation(p.id, n); };
  p.u_rect = loc("rect");
  p.u_src_size = loc("src_size");
  p.u_opacity = loc("opacity");
  p.u_key = loc("key");
  p.u_ink = loc("ink");
  glUseProgram(p.id);
  glUniform1i(loc("src"), 0);
  glUniform1i(loc("dst"), 1);
  glUniform1i(loc("height"), height_);
  return p;
}

void BackSurface::draw_2d(Rect c, Rect dest, GLuint src_tex, int src_w, int src_h, int opacity, bool transparent,
                          uint32_t key_argb, bool mask, uint32_t ink) {
  draw_fills();
  // Unit 1 always holds the copy, so the program never samples a texture
  // of another kind left there by other passes.
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, dst_copy_);
  if (opacity < 255 && !mask) {
    // The blend reads what is under it: copy that area first.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    const int gy = height_ - (c.y + c.h);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, c.x, gy, c.x, gy, c.w, c.h);
  }
  begin_2d(c);
  int kind = mask ? kMask : (transparent ? kKeyed : 0) | (opacity < 255 ? kBlend : 0);
  if (src_w != dest.w || src_h != dest.h) kind |= kStretched;
  const Program2d& p = program_2d(kind);
  glUseProgram(p.id);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, src_tex);
  glUniform4i(p.u_rect, dest.x, dest.y, dest.w, dest.h);
  glUniform2i(p.u_src_size, src_w, src_h);
  glUniform1i(p.u_opacity, opacity);
  glUniform3ui(p.u_key, (key_argb >> 16) & 255, (key_argb >> 8) & 255, key_argb & 255);
  set_colour(p.u_ink, ink);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(0);
  glDisable(GL_SCISSOR_TEST);
}

void BackSurface::copy_picture(const Picture& src, uint64_t key, uint32_t revision, int x, int y, bool transparent,
                               uint32_t key_argb) {
  if (src.empty()) return;
  const Rect dest{x, y, src.width, src.height};
  const Rect c = clip(dest);
  if (c.w <= 0) return;
  draw_2d(c, dest, picture_texture(src, key, revision), src.width, src.height, 255, transparent, key_argb, false,
          0);
}

void BackSurface::blend_stretched(const Picture& src, uint64_t key, uint32_t revision, Rect r, int opacity,
                                  bool transparent, uint32_t key_argb) {
  if (opacity <= 0 || src.empty()) return;
  const Rect c = clip(r);
  if (c.w <= 0) return;
  draw_2d(c, r, picture_texture(src, key, revision), src.width, src.height, opacity, transparent, key_argb, false,
          0);
}

void BackSurface::draw_mask(const std::vector<uint8_t>& mask, Rect box, uint32_t argb) {
  if (box.w <= 0 || box.h <= 0 || mask.size() < static_cast<size_t>(box.w) * box.h) return;
  const Rect c = clip(box);
  if (c.w <= 0) return;
  glBindTexture(GL_TEXTURE_2D, mask_tex_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, box.w, box.h, 0, GL_RED, GL_UNSIGNED_BYTE, mask.data());
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  draw_2d(c, box, mask_tex_, box.w, box.h, 255, false, 0, true, argb);
}

void BackSurface::upload(const Picture& p) {
  if (p.width != width_ || p.height != height_) return;
  fills_.clear();  // replaced by the picture
  std::vector<uint32_t> rows(p.pixels.size());
  for (int y = 0; y < height_; ++y)
    std::copy_n(&p.pixels[static_cast<size_t>(height_ - 1 - y) * width_], width_, &rows[static_cast<size_t>(y) * width_]);
  glBindTexture(GL_TEXTURE_2D, colour_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
}

Picture BackSurface::read(Rect r) const {
  const Rect c = clip(r);
  if (c.w <= 0) return {};
  Picture out(c.w, c.h);
  std::vector<uint32_t> rows(static_cast<size_t>(c.w) * c.h);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer());
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(c.x, height_ - (c.y + c.h), c.w, c.h, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  for (int y = 0; y < c.h; ++y) {
    const uint32_t* s = &rows[static_cast<size_t>(c.h - 1 - y) * c.w];
    uint32_t* d = &out.pixels[static_cast<size_t>(y) * c.w];
    for (int x = 0; x < c.w; ++x) d[x] = s[x] | 0xFF000000u;
  }
  return out;
}

}  // namespace quarvel::render
