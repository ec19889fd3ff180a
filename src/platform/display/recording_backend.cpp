#include <memory>

#include "platform/display/backend.h"
#include "platform/render/recording_frames.h"

namespace quarvel::display {
namespace {

class RecordingBackend : public DisplayBackend {
 public:
  void open(bool) override { open_ = true; }
  void close() override { open_ = false; }
  bool is_open() const override { return open_; }
  void make_current() override {}
  void show(render::Presenter&) override {}
  bool headless() const override { return true; }
  std::unique_ptr<render::FrameBackEnd> make_frames(int, int, const Picture& back) override {
    return std::make_unique<render::RecordingFrames>(back);
  }

 private:
  bool open_ = false;
};

}  // namespace

std::unique_ptr<DisplayBackend> make_recording_backend() { return std::make_unique<RecordingBackend>(); }

}  // namespace quarvel::display
