#include <memory>

#include "platform/display/backend.h"
#include "platform/display/egl_context.h"

namespace quarvel::display {
namespace {

class HeadlessBackend : public DisplayBackend {
 public:
  void open(bool) override { context_ = std::make_unique<EglHeadlessContext>(); }
  void close() override { context_.reset(); }
  bool is_open() const override { return context_ != nullptr; }
  void make_current() override {
    if (context_) context_->make_current();
  }
  void show(render::Presenter&) override {}
  bool headless() const override { return true; }

 private:
  std::unique_ptr<EglHeadlessContext> context_;
};

}  // namespace

std::unique_ptr<DisplayBackend> make_headless_backend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace quarvel::display
