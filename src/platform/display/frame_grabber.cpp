#include "platform/display/frame_grabber.h"

#include "platform/display/display.h"

namespace quarvel::display {

FrameGrabber::FrameGrabber(DisplayControl& display) : display_(&display) { display.grabber_ = this; }

FrameGrabber::~FrameGrabber() {
  if (display_) display_->grabber_ = nullptr;
}

namespace {
// The display's GL presenter, if it has one now.
render::Presenter* presenter_of(DisplayControl* display) {
  render::FrameBackEnd* frames = display ? display->frames() : nullptr;
  return frames ? frames->presenter() : nullptr;
}
}  // namespace

void FrameGrabber::finish_oldest_read() { read_.push_back(presenter_of(display_)->finish_read()); }

void FrameGrabber::finish_reads() {
  render::Presenter* presenter = presenter_of(display_);
  while (presenter && presenter->reads_in_flight() > 0) finish_oldest_read();
}

void FrameGrabber::queue_screenshot() {
  render::Presenter* presenter = presenter_of(display_);
  if (!presenter || display_->flips_ == 0) {
    read_.emplace_back();  // nothing presented: the empty picture, in its turn
    return;
  }
  display_->backend_->make_current();
  if (!presenter->start_read()) {
    finish_oldest_read();
    presenter->start_read();
  }
}

bool FrameGrabber::take_screenshot(Picture& out, bool wait) {
  render::Presenter* presenter = presenter_of(display_);
  if (read_.empty() && presenter && presenter->reads_in_flight() > 0) {
    display_->backend_->make_current();
    if (wait || presenter->oldest_read_done()) finish_oldest_read();
  }
  if (read_.empty()) return false;
  out = std::move(read_.front());
  read_.pop_front();
  return true;
}

int FrameGrabber::pending_screenshots() const {
  const render::Presenter* presenter = presenter_of(display_);
  return static_cast<int>(read_.size()) + (presenter ? presenter->reads_in_flight() : 0);
}

}  // namespace quarvel::display
