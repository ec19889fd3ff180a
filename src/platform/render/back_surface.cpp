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
uniform int step;          // of the rows inked (ROWS)
out vec4 colour;
uvec3 bytes(vec4 c) { return uvec3(c.rgb * 255.0 + 0.5); }
void main() {
  ivec2 g = ivec2(gl_FragCoord.xy);
  int sx = g.x - rect.x, sy = height - 1 - g.y - rect.y;
#ifdef ROWS
  if (sy % step != 0) discard;
  colour = ink;
#else
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
#endif
}
)";

// An 0xFFRRGGBB colour as the bytes red, green, blue, alpha (0xFF) in
// memory: the texture's own order, which an upload copies as it is (given
// blue first, llvmpipe swaps every pixel).
inline uint32_t rgba_bytes(uint32_t argb) {
  return 0xFF000000u | (argb & 0xFF00u) | ((argb >> 16) & 0xFFu) | ((argb & 0xFFu) << 16);
}

// Sets a vec4 uniform to an 0xFFRRGGBB colour (alpha one).
void set_colour(GLint location, uint32_t argb) {
  glUniform4f(location, ((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f, 1.0f);
}

}  // namespace

std::vector<Rect> opaque_runs(const Picture& p, uint32_t key_argb) {
  std::vector<Rect> done;
  std::vector<Rect> open, next;  // rectangles reaching the row above, by x
  std::vector<Rect> row;
  for (int y = 0; y <= p.height; ++y) {
    row.clear();
    for (int x = 0; y < p.height && x < p.width;) {
      auto keyed = [&](int i) { return ((p.pixels[static_cast<size_t>(y) * p.width + i] ^ key_argb) & 0xFFFFFFu) == 0; };
      if (keyed(x)) {
        ++x;
        continue;
      }
      const int from = x;
      while (x < p.width && !keyed(x)) ++x;
      row.push_back({from, y, x - from, 1});
    }
    // A run with the same ends as a rectangle reaching the row above
    // lengthens it; the rectangles not lengthened are finished.
    next.clear();
    size_t i = 0;
    for (const Rect& run : row) {
      while (i < open.size() && open[i].x < run.x) done.push_back(open[i++]);
      if (i < open.size() && open[i].x == run.x && open[i].w == run.w) {
        next.push_back(open[i++]);
        ++next.back().h;
      } else {
        next.push_back(run);
      }
    }
    while (i < open.size()) done.push_back(open[i++]);
    open.swap(next);
  }
  return done;
}

BackSurface::BackSurface(int width, int height) : width_(std::max(width, 1)), height_(std::max(height, 1)) {
  glGenVertexArrays(1, &vao_);
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
  glDeleteVertexArrays(1, &vao_);
  for (const Program2d& p : programs_) glDeleteProgram(p.id);
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
  if (c.w == width_ && c.h == height_) {
    // The whole surface: a clear, which llvmpipe does on its own threads.
    begin_2d(c);
    glClearColor(((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  staging_.assign(static_cast<size_t>(c.w) * c.h, rgba_bytes(argb));
  write_staging(c);
}

void BackSurface::fill_rows(Rect r, int step, uint32_t argb) {
  if (step <= 1) return fill_rect(r, argb);
  if (writes_ == Writes::Drawn) {
    const Rect c = clip(r);
    if (c.w > 0) draw_2d(c, r, mask_tex_, 1, 1, 255, false, 0, false, argb, step);
    return;
  }
  for (long y = r.y; y < static_cast<long>(r.y) + r.h && y < height_; y += step)
    fill_rect({r.x, static_cast<int>(y), r.w, 1}, argb);
}

void BackSurface::write_staging(Rect c) {
  glBindTexture(GL_TEXTURE_2D, colour_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexSubImage2D(GL_TEXTURE_2D, 0, c.x, height_ - (c.y + c.h), c.w, c.h, GL_RGBA, GL_UNSIGNED_BYTE,
                  staging_.data());
}

const BackSurface::GlRows& BackSurface::gl_rows(const Picture& src, uint64_t key, uint32_t revision) {
  GlRows& g = gl_rows_[key];
  if (g.valid && g.revision == revision && g.width == src.width && g.height == src.height) return g;
  g.pixels.resize(static_cast<size_t>(src.width) * src.height);
  for (int y = 0; y < src.height; ++y) {
    const uint32_t* s = &src.pixels[static_cast<size_t>(src.height - 1 - y) * src.width];
    uint32_t* d = &g.pixels[static_cast<size_t>(y) * src.width];
    for (int x = 0; x < src.width; ++x) d[x] = rgba_bytes(s[x]);
  }
  g.valid = true;
  g.revision = revision;
  g.width = src.width;
  g.height = src.height;
  return g;
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

const BackSurface::Program2d& BackSurface::program_2d(int kind) {
  Program2d& p = programs_[kind];
  if (p.id) return p;
  std::string source = "#version 330 core\n";
  for (auto [bit, name] :
       {std::pair{kStretched, "STRETCHED"}, {kKeyed, "KEYED"}, {kBlend, "BLEND"}, {kMask, "MASK"}, {kRows, "ROWS"}})
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
  p.u_step = loc("step");
  glUseProgram(p.id);
  glUniform1i(loc("src"), 0);
  glUniform1i(loc("dst"), 1);
  glUniform1i(loc("height"), height_);
  return p;
}

void BackSurface::draw_2d(Rect c, Rect dest, GLuint src_tex, int src_w, int src_h, int opacity, bool transparent,
                          uint32_t key_argb, bool mask, uint32_t ink, int step) {
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
  if (step > 0) kind = kRows;
  const Program2d& p = program_2d(kind);
  glUseProgram(p.id);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, src_tex);
  glUniform4i(p.u_rect, dest.x, dest.y, dest.w, dest.h);
  glUniform2i(p.u_src_size, src_w, src_h);
  glUniform1i(p.u_opacity, opacity);
  glUniform3ui(p.u_key, (key_argb >> 16) & 255, (key_argb >> 8) & 255, key_argb & 255);
  set_colour(p.u_ink, ink);
  if (step > 0) glUniform1i(p.u_step, step);
  glBindVertexArray(vao_);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  glBindVertexArray(0);
  glDisable(GL_SCISSOR_TEST);
}

const std::vector<Rect>& BackSurface::opaque_rects(const Picture& src, uint64_t key, uint32_t revision,
                                                   uint32_t key_argb) {
  OpaqueRects& o = opaque_[key];
  if (o.valid && o.revision == revision && o.key_rgb == (key_argb & 0xFFFFFFu) && o.width == src.width &&
      o.height == src.height)
    return o.rects;
  o = {true, revision, key_argb & 0xFFFFFFu, src.width, src.height, opaque_runs(src, key_argb)};
  return o.rects;
}

void BackSurface::copy_picture(const Picture& src, uint64_t key, uint32_t revision, int x, int y, bool transparent,
                               uint32_t key_argb) {
  if (src.empty() || src.pixels.size() < static_cast<size_t>(src.width) * src.height) return;
  if (writes_ == Writes::Drawn) {
    const Rect dest{x, y, src.width, src.height};
    const Rect c = clip(dest);
    if (c.w > 0)
      draw_2d(c, dest, picture_texture(src, key, revision), src.width, src.height, 255, transparent, key_argb, false,
              0);
    return;
  }
  const GlRows& rows = gl_rows(src, key, revision);
  glBindTexture(GL_TEXTURE_2D, colour_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, src.width);
  auto write = [&](const Rect& part) {
    const Rect c = clip({x + part.x, y + part.y, part.w, part.h});
    if (c.w <= 0) return;
    // The part's bottom left in the picture's rows, bottom first.
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, c.x - x);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, src.height - (c.y - y + c.h));
    glTexSubImage2D(GL_TEXTURE_2D, 0, c.x, height_ - (c.y + c.h), c.w, c.h, GL_RGBA, GL_UNSIGNED_BYTE,
                    rows.pixels.data());
  };
  if (!transparent) {
    write({0, 0, src.width, src.height});
  } else {
    for (const Rect& part : opaque_rects(src, key, revision, key_argb)) write(part);
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
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
  glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
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
