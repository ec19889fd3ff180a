#pragma once
// The back surface on the GPU: a colour texture with a depth buffer (one
// framebuffer) that persists across frames. The 2D operations give the same
// pixels as the CPU versions in surface2d.h, exact to the bit. Fills of part
// of the surface and copies are written into the texture from memory: a
// software rasteriser (llvmpipe) pays several times the pixels of a thin or
// keyed primitive, an upload only the bytes it writes (a keyed picture is
// written as the rectangles of its opaque pixels). Blends and text are GL
// draws, their colours handled as 8-bit integers in the shader.
//
// In a page every GL call goes through the browser's checks and on to its
// GPU process, and every upload carries its bytes there: copies and the rows
// of fill_rows are drawn instead (Writes::Drawn), a picture from its texture
// (uploaded once a revision), all the rows in one draw. The pixels are the
// same either way. Fills of part of the surface stay uploads there too: as
// clears of their rectangles, the forest flight's bands cost the page more
// (llvmpipe draws a scissored clear as a quad).
//
// Coordinates are those of the picture (row 0 at the top); the texture
// itself is in GL orientation (row 0 at the bottom), so the 3D render and
// the presentation pass read and write it directly. Pixels come back to the
// CPU only when read() is asked for.
//
// Needs a current OpenGL 3.3 core context for its whole life.
#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/common/picture.h"
#include "platform/render/gl.h"
#include "platform/render/surface2d.h"

namespace quarvel::render {

// The pixels of `p` whose colour is not `key_argb` (compared without alpha)
// as rectangles, each covering runs with the same ends on neighbouring rows:
// every such pixel in exactly one rectangle.
std::vector<Rect> opaque_runs(const Picture& p, uint32_t key_argb);

class BackSurface {
 public:
  // Throws std::runtime_error naming what failed.
  BackSurface(int width = 640, int height = 480);
  ~BackSurface();
  BackSurface(const BackSurface&) = delete;
  BackSurface& operator=(const BackSurface&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }

  // How copies and fill_rows reach the surface: written from memory (the
  // desktop's default) or drawn (the page's).
  enum class Writes { FromMemory, Drawn };
  void set_writes(Writes w) { writes_ = w; }
  Writes writes() const { return writes_; }

  // The framebuffer and its colour texture.
  GLuint framebuffer() const { return fbo_; }
  GLuint colour_texture() const { return colour_; }

  // Colours are 0xFFRRGGBB (alpha ignored). The whole surface is a GL clear;
  // part of it is written from memory.
  void fill_rect(Rect r, uint32_t argb);
  void fill(uint32_t argb) { fill_rect({0, 0, width_, height_}, argb); }
  // Fills rows r.y, r.y + step, r.y + 2 step, ... of rectangle `r` (a
  // one-row fill_rect each).
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

  // Picture texture uploads so far (for tests and benchmarks).
  uint64_t texture_uploads() const { return texture_uploads_; }

 private:
  struct CachedPicture {
    GLuint tex = 0;
    uint32_t revision = 0;
    int width = 0, height = 0;
  };
  Rect clip(Rect r) const;
  GLuint picture_texture(const Picture& src, uint64_t key, uint32_t revision);
  // The rectangles of a keyed picture's opaque pixels (opaque_runs),
  // computed again only when the picture's revision or key moves.
  const std::vector<Rect>& opaque_rects(const Picture& src, uint64_t key, uint32_t revision, uint32_t key_argb);
  // Writes staging_ (c.w x c.h, GL rows) into rectangle `c` (clipped).
  void write_staging(Rect c);
  // A copied picture's pixels as the texture takes them: rows bottom first,
  // bytes R, G, B, A with alpha 0xFF. Made again only when the picture's
  // revision or size moves, since most copies put the same picture each frame
  // and each of its parts is then written straight from here.
  struct GlRows {
    bool valid = false;
    uint32_t revision = 0;
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
  };
  const GlRows& gl_rows(const Picture& src, uint64_t key, uint32_t revision);
  // Draws one scissored full-surface triangle through the 2D program;
  // `step` above zero inks every step-th row of `dest` from its first.
  void draw_2d(Rect clipped, Rect dest, GLuint src_tex, int src_w, int src_h, int opacity, bool transparent,
               uint32_t key_argb, bool mask, uint32_t ink, int step = 0);
  void begin_2d(Rect clipped);

  int width_, height_;
  GLuint fbo_ = 0, colour_ = 0, depth_ = 0;
  // The 2D programs, one a kind of draw (an or of the bits), compiled on
  // first use.
  enum : int { kStretched = 1, kKeyed = 2, kBlend = 4, kMask = 8, kRows = 16 };
  struct Program2d {
    GLuint id = 0;
    GLint u_rect = -1, u_src_size = -1, u_opacity = -1, u_key = -1, u_ink = -1, u_step = -1;
  };
  const Program2d& program_2d(int kind);
  std::array<Program2d, 32> programs_{};
#ifdef __EMSCRIPTEN__
  Writes writes_ = Writes::Drawn;
#else
  Writes writes_ = Writes::FromMemory;
#endif
  GLuint vao_ = 0;
  GLuint dst_copy_ = 0;  // a copy of the blended area, read by the blend
  GLuint mask_tex_ = 0;
  std::vector<uint32_t> staging_;  // pixels on their way into the texture
  struct OpaqueRects {
    bool valid = false;
    uint32_t revision = 0, key_rgb = 0;
    int width = 0, height = 0;
    std::vector<Rect> rects;
  };
  std::unordered_map<uint64_t, OpaqueRects> opaque_;
  std::unordered_map<uint64_t, CachedPicture> pictures_;
  std::unordered_map<uint64_t, GlRows> gl_rows_;
  uint64_t texture_uploads_ = 0;
};

}  // namespace quarvel::render
