#pragma once
// The back surface on the GPU: a colour texture with a depth buffer (one
// framebuffer) that persists across frames. The 2D operations are GL draws
// into it, exact to the bit: colours are handled as 8-bit integers in the
// shader, so a fill, a keyed copy and an opacity blend give the same pixels
// as the CPU versions in surface2d.h.
//
// Coordinates are those of the picture (row 0 at the top); the texture
// itself is in GL orientation (row 0 at the bottom), so the 3D render and
// the presentation pass read and write it directly. Pixels come back to the
// CPU only when read() is asked for.
//
// Needs a current OpenGL 3.3 core context for its whole life.
#include <array>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/common/picture.h"
#include "platform/render/gl.h"
#include "platform/render/surface2d.h"

namespace quarvel::render {

class BackSurface {
 public:
  // Throws std::runtime_error naming what failed.
  BackSurface(int width = 640, int height = 480);
  ~BackSurface();
  BackSurface(const BackSurface&) = delete;
  BackSurface& operator=(const BackSurface&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  // The framebuffer and its colour texture, the fills asked for so far
  // drawn into them.
  GLuint framebuffer() const {
    draw_fills();
    return fbo_;
  }
  GLuint colour_texture() const {
    draw_fills();
    return colour_;
  }

  // Colours are 0xFFRRGGBB (alpha ignored). Fills of part of the surface are
  // gathered and drawn together, as one draw, before anything else draws
  // into the surface or reads it (a show layer may be hundreds of lines).
  void fill_rect(Rect r, uint32_t argb);
  void fill(uint32_t argb) { fill_rect({0, 0, width_, height_}, argb); }
  // Fills rows r.y, r.y + step, r.y + 2 step, ... of rectangle `r` (the
  // pixels of a one-row fill_rect for each) as one draw over the rectangle
  // that keeps only those rows: llvmpipe pays several times the pixels of a
  // thin primitive. A step that is no power of two is drawn row by row.
  void fill_rows(Rect r, int step, uint32_t argb);

  // Picture draws, as in surface2d.h. `key` names the picture for the
  // texture cache and `revision` says when its pixels changed: the texture
  // is uploaded on first use and again only when the revision moves.
  void copy_picture(const Picture& src, uint64_t key, uint32_t revision, int x, int y, bool transparent,
                    uint32_t key_argb);
  void blend_stretched(const Picture& src, uint64_t key, uint32_t revision, Rect r, int opacity,
                       bool transparent, uint32_t key_argb);

  // Inks the pixels of `box` whose mask byte (box.w x box.h, rows top
  // first) is non-zero with `argb`.
  void draw_mask(const std::vector<uint8_t>& mask, Rect box, uint32_t argb);

  // Replaces the whole surface with `p` (must be width x height).
  void upload(const Picture& p);
  // Pixels of rectangle `r` (clipped), rows top first, alpha 0xFF.
  Picture read(Rect r) const;
  Picture read() const { return read({0, 0, width_, height_}); }

  // Texture uploads so far (for tests and benchmarks).
  uint64_t texture_uploads() const { return texture_uploads_; }

 private:
  struct CachedPicture {
    GLuint tex = 0;
    uint32_t revision = 0;
    int width = 0, height = 0;
  };
  Rect clip(Rect r) const;
  GLuint picture_texture(const Picture& src, uint64_t key, uint32_t revision);
  // Draws one scissored full-surface triangle through the 2D program.
  void draw_2d(Rect clipped, Rect dest, GLuint src_tex, int src_w, int src_h, int opacity, bool transparent,
               uint32_t key_argb, bool mask, uint32_t ink);
  void begin_2d(Rect clipped);
  // Draws the gathered fills, if any.
  void draw_fills() const;

  int width_, height_;
  GLuint fbo_ = 0, colour_ = 0, depth_ = 0;
  // The 2D programs, one a kind of draw (an or of the bits), compiled on
  // first use.
  enum : int { kStretched = 1, kKeyed = 2, kBlend = 4, kMask = 8 };
  struct Program2d {
    GLuint id = 0;
    GLint u_rect = -1, u_src_size = -1, u_opacity = -1, u_key = -1, u_ink = -1;
  };
  const Program2d& program_2d(int kind);
  std::array<Program2d, 16> programs_{};
  GLuint vao_ = 0;
  GLuint dst_copy_ = 0;  // a copy of the blended area, read by the blend
  GLuint mask_tex_ = 0;
  GLuint fill_program_ = 0, fill_vao_ = 0, fill_buffer_ = 0;
  GLuint rows_program_ = 0;
  GLint u_rows_first_ = -1, u_rows_step_ = -1, u_rows_ink_ = -1;
  // Fills not drawn yet: two triangles each, x and y in pixels (row 0 at the
  // top) and the colour's bytes as one 32-bit word per vertex.
  struct FillVertex {
    float x, y;
    uint32_t bgra;
  };
  mutable std::vector<FillVertex> fills_;
  std::unordered_map<uint64_t, CachedPicture> pictures_;
  uint64_t texture_uploads_ = 0;
};

}  // namespace quarvel::render
