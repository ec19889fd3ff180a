#pragma once
// One frame as plain data, in the order it was asked for: the back
// surface's fills, picture and text draws, the 3D view (its render list,
// everything already decided), and at the end the present through the gamma
// ramp. The display builds it as the show draws; a back end executes a whole
// list in one call, reading only the list, never the scene graph or the
// image list.
//
// Pictures are carried with the key and revision the GPU caches them under,
// so that a back end uploads a picture once per revision, and commands of
// one kind with the same picture sit next to each other where the show draws
// them so.
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "platform/common/picture.h"
#include "platform/render/gamma.h"
#include "platform/render/look.h"
#include "platform/render/surface2d.h"
#include "platform/retained/viewport.h"

namespace quarvel::render {

class Presenter;

// Fills `rect` with `argb`; with `step` above one only its rows rect.y,
// rect.y + step, ... (a one-row fill each).
struct FillCommand {
  Rect rect;
  int step = 0;
  uint32_t argb = 0;
};

// A picture copied with its top-left corner at (rect.x, rect.y), or, when
// `stretched`, blended over `rect` in proportion to `opacity`. Keyed pixels
// (RGB of `key_argb`) are skipped when `transparent`.
struct PictureCommand {
  std::shared_ptr<const Picture> picture;
  uint64_t key = 0;       // who the picture is
  uint32_t revision = 0;  // moves when its pixels change
  bool stretched = false;
  Rect rect;
  int opacity = 255;
  bool transparent = false;
  uint32_t key_argb = 0;
};

// Inks the pixels of `box` whose byte of `mask` (box.w x box.h, rows top
// first) is non-zero.
struct MaskCommand {
  std::vector<uint8_t> mask;
  Rect box;
  uint32_t argb = 0;
};

// The 3D view: the stage's render list.
struct ViewCommand {
  rm::RenderList list;
};

// Presents the back surface through `ramp`, shifted right by dx and down by
// dy pixels (the uncovered area black).
struct PresentCommand {
  GammaRamp ramp;
  int dx = 0, dy = 0;
};

// The back surface replaced by `picture` (the whole of it, alpha included):
// what was drawn only for one present taken away again.
struct SurfaceCommand {
  std::shared_ptr<const Picture> picture;
};

using FrameCommand =
    std::variant<FillCommand, PictureCommand, MaskCommand, ViewCommand, PresentCommand, SurfaceCommand>;

struct FrameList {
  std::vector<FrameCommand> commands;
  bool empty() const { return commands.empty(); }
};

// What executes frame lists: the OpenGL back surface and presenter (desktop
// and page), or a recording back end for tests.
class FrameBackEnd {
 public:
  virtual ~FrameBackEnd() = default;
  // Carries out every command of `list`, in order.
  virtual void execute(const FrameList& list) = 0;
  // A copy of the back surface as the lists executed so far left it.
  virtual Picture read_surface() const = 0;
  // The last presented picture after the gamma ramp, row 0 at the top;
  // empty when nothing was presented.
  virtual Picture read_presented() const = 0;
  // The GL presenter, for the window to show and for late reading; none
  // for a back end without GL.
  virtual Presenter* presenter() { return nullptr; }
  // Processor time spent executing views so far; with `finish` on, each
  // view waits for the GPU work it queued (timing runs only).
  virtual double view_cpu_seconds() const { return 0; }
  virtual void set_finish_views(bool) {}
  // Draws the frames that follow in `look`; the smooth look draws the 3D
  // `smooth_scale` times larger. Throws std::runtime_error, with the look
  // as it was, when the back end cannot give it.
  virtual void set_look(Look, int /*smooth_scale*/) {}
};

}  // namespace quarvel::render
