#pragma once
// Pictures of what a display presents, for runs that keep them (PNG files,
// video), and seeking: frames the display neither renders nor presents.
// The window program has none; the headless runner attaches one to its
// display.
#include <deque>

#include "platform/common/picture.h"

namespace quarvel::display {

class DisplayControl;

class FrameGrabber {
 public:
  // Attached to `display` until the grabber goes.
  explicit FrameGrabber(DisplayControl& display);
  ~FrameGrabber();
  FrameGrabber(const FrameGrabber&) = delete;
  FrameGrabber& operator=(const FrameGrabber&) = delete;

  // The display it is attached to.
  const DisplayControl& display() const { return *display_; }

  // While seeking, the display's render() draws nothing and its flip()
  // presents nothing but still counts. Everything else (scene graph,
  // back-surface drawing, gamma, counters) goes on as usual, so a run that
  // seeks for a while reaches the same state. Off at start.
  void set_seeking(bool on) { seeking_ = on; }
  bool seeking() const { return seeking_; }

  // Screenshots read late, so that reading does not wait for the frame to
  // be drawn. queue_screenshot (after a flip) starts reading what the
  // display's screenshot() gives now. take_screenshot hands the queued
  // pictures back oldest first, each once: with `wait` false only one
  // already read (else false and nothing taken), with `wait` true the
  // oldest, waiting for it (false only when none is queued). Queued
  // pictures outlive the display's finalise.
  void queue_screenshot();
  bool take_screenshot(Picture& out, bool wait);
  int pending_screenshots() const;

 private:
  friend class DisplayControl;
  // Moves the presenter's oldest read into read_, waiting for it.
  void finish_oldest_read();
  // Moves every read still in flight into read_ (the presenter is about to
  // go).
  void finish_reads();

  DisplayControl* display_;  // null once the display is gone
  // Queued screenshots already read, older than those the presenter still
  // reads.
  std::deque<Picture> read_;
  bool seeking_ = false;
};

}  // namespace quarvel::display
