#include "runner/player.h"

#include <algorithm>
#include <cmath>

#include "app/main_form.h"
#include "platform/audio/music_system.h"
#include "platform/display/frame_grabber.h"
#include "runner/chapters.h"

namespace quarvel::runner {
namespace {

// How long a note (the new volume) stays on the picture.
constexpr uint32_t kNoteMs = 2000;
// The virtual length of a seek's tick: the show's pace at 60 ticks a second.
constexpr double kSeekMsPerTick = 1000.0 / 60.0;
// Ticks of a seek between two calls of the caller's pump.
constexpr int kSeekTicksPerPump = 30;
// Idle calls that may go by without a tick before a seek gives up.
constexpr int kIdleCallsPerTick = 10000;

constexpr int kCtrlMinus = 189, kCtrlEquals = 187, kKeyM = 'M', kLeftBracket = 219, kRightBracket = 221;

}  // namespace

PlayerKey player_key(int key, bool ctrl) {
  switch (key) {
    case 112: return PlayerKey::Help;        // F1
    case 19: return PlayerKey::Pause;        // Pause/Break
    case 123: return PlayerKey::Screenshot;  // F12
    default: break;
  }
  if (!ctrl) return PlayerKey::None;
  switch (key) {
    case kCtrlMinus: return PlayerKey::VolumeDown;
    case kCtrlEquals: return PlayerKey::VolumeUp;
    case kKeyM: return PlayerKey::Mute;
    case kLeftBracket: return PlayerKey::PreviousScene;
    case kRightBracket: return PlayerKey::NextScene;
    default: return PlayerKey::None;
  }
}

const std::vector<HelpLine>& help_lines() {
  static const std::vector<HelpLine> lines = {
      {"F1", "this help, on and off"},
      {"Pause", "pause, and play on"},
      {"F11", "look: sharp, original, smooth"},
      {"F12", "screenshot"},
      {"Ctrl+-  Ctrl+=", "music softer, louder"},
      {"Ctrl+M", "music off, on"},
      {"Ctrl+[  Ctrl+]", "previous, next scene"},
      {"Alt+Enter", "window, full screen"},
      {"Esc", "quit"},
      {"Tab", "status (in the finale)"},
  };
  return lines;
}

void PlayerClock::pause() {
  if (paused_) return;
  held_ = now();
  paused_ = true;
}

void PlayerClock::resume() {
  if (!paused_) return;
  offset_ = source_() - held_;
  paused_ = false;
}

Player::Player(app::TMainForm& form, audio::MusicSystem& music, PlayerClock* clock, display::FrameGrabber* grabber,
               std::function<uint32_t()> wall)
    : form_(form), music_(music), clock_(clock), grabber_(grabber), wall_(std::move(wall)) {}

bool Player::key(int key, bool ctrl, const std::function<void()>& pump) {
  switch (player_key(key, ctrl)) {
    case PlayerKey::None: return false;
    case PlayerKey::Help: set_help(!help_); break;
    case PlayerKey::Pause: set_paused(!paused_); break;
    case PlayerKey::Screenshot:
      if (screenshot) screenshot();
      break;
    case PlayerKey::VolumeDown: set_volume(volume_ - 10, false); break;
    case PlayerKey::VolumeUp: set_volume(volume_ + 10, false); break;
    case PlayerKey::Mute: set_volume(volume_, !muted_); break;
    case PlayerKey::PreviousScene:
    case PlayerKey::NextScene:
      if (begin_chapter_step(player_key(key, ctrl) == PlayerKey::PreviousScene ? -1 : 1)) {
        while (!seek_step(kSeekTicksPerPump))
          if (pump) pump();
      }
      break;
  }
  return true;
}

void Player::set_paused(bool on) {
  if (on == paused_) return;
  paused_ = on;
  if (seeking()) {
    // The seek holds the clock and the music; its end leaves them so.
    seek_was_paused_ = on;
  } else if (on) {
    if (clock_) clock_->pause();
    music_.hold();
  } else {
    if (clock_) clock_->resume();
    music_.release();
  }
  refresh_overlay();
}

void Player::set_volume(int percent, bool muted, bool say) {
  volume_ = std::clamp(percent, 0, 100);
  muted_ = muted;
  music_.set_volume(muted_ ? 0 : volume_);
  if (say) note(muted_ ? "Music off" : "Volume " + std::to_string(volume_) + "%");
}

void Player::set_help(bool on) {
  help_ = on;
  refresh_overlay();
}

bool Player::seek_chapter(int chapter, const std::function<void()>& pump) {
  begin_seek(chapter);
  while (!seek_step(kSeekTicksPerPump))
    if (pump) pump();
  return seek_reached_;
}

void Player::begin_seek(int chapter) {
  if (!seeking()) {
    seek_was_paused_ = paused_;
    if (clock_) clock_->pause();
    music_.hold();
    if (grabber_) grabber_->set_seeking(true);
  }
  seek_target_ = std::clamp(chapter, 1, kChapters);
  seek_reached_ = false;
  seek_ticks_ = 0;
  seek_steps_ = 0;
  seek_ms_ = 0;
}

bool Player::seek_step(int ticks) {
  if (!seeking()) return true;
  bool over = false;
  for (int n = 0; n < ticks && !over; ++n) {
    seek_reached_ = current_chapter(form_.show()) >= seek_target_;
    if (seek_reached_ || form_.closing()) {
      over = true;
      break;
    }
    const uint64_t before = form_.ticks();
    for (int call = 0; form_.ticks() == before && call < kIdleCallsPerTick; ++call) {
      // Virtual time as the headless runner's clock has it: whole
      // milliseconds of the steps so far, the music moved on a step at a time.
      ++seek_steps_;
      const auto now = static_cast<uint32_t>(std::floor(static_cast<double>(seek_steps_) * kSeekMsPerTick));
      if (clock_) clock_->add(now - seek_ms_);
      seek_ms_ = now;
      music_.move_held_seconds(kSeekMsPerTick / 1000.0);
      if (!form_.idle_loop.idle()) break;
    }
    if (form_.ticks() == before) {
      over = true;  // the frame timer stopped
      break;
    }
    ++seek_ticks_;
  }
  if (!over) {
    seek_reached_ = current_chapter(form_.show()) >= seek_target_;
    over = seek_reached_ || form_.closing();
    if (!over) return false;
  }
  seek_target_ = 0;
  if (grabber_) grabber_->set_seeking(false);
  if (!seek_was_paused_) {
    if (clock_) clock_->resume();
    music_.release();
  }
  changed_ = true;
  return true;
}

void Player::begin_chapter(int chapter) {
  if (chapter <= current_chapter(form_.show())) restart();
  begin_seek(chapter);
}

bool Player::begin_chapter_step(int step) {
  const int now = current_chapter(form_.show());
  if (step < 0) {
    // Back to the start of the scene before the one playing.
    restart();
    begin_seek(std::max(1, now - 1));
    return true;
  }
  if (now >= kChapters) return false;
  begin_seek(now + 1);
  return true;
}

void Player::restart() {
  // The music from its start, not playing until the opening plays it; the
  // display and the show made again, as at the program's start.
  const bool was_held = music_.held();
  music_.hold();
  music_.rewind();
  form_.restart_show();
  if (!was_held) music_.release();
  changed_ = true;
}

bool Player::update() {
  if (!note_.empty() && static_cast<int32_t>(wall_() - note_until_) >= 0) {
    note_.clear();
    refresh_overlay();
  }
  const bool changed = changed_;
  changed_ = false;
  return changed;
}

void Player::note(const std::string& text) {
  note_ = text;
  note_until_ = wall_() + kNoteMs;
  refresh_overlay();
}

void Player::refresh_overlay() {
  changed_ = true;
  if (overlay_shown_ && (help_ || !note_.empty() || paused_)) {
    form_.DXDraw.overlay = [this] { draw_overlay(); };
  } else {
    form_.DXDraw.overlay = nullptr;
  }
}

void Player::draw_overlay() {
  // The show's own 2D: its canvas font, white on black boxes, as its status
  // overlay is drawn (a size larger: at 8 points the font loses its minus
  // sign and brackets).
  display::DisplayControl& d = form_.DXDraw;
  display::TextCanvas& canvas = d.canvas();
  canvas.set_brush_clear(true);
  canvas.set_font_colour(0xFFFFFF);
  canvas.set_font_size(10);
  const int line = canvas.line_height() + 2;
  if (help_) {
    const auto& lines = help_lines();
    const int width = 360, height = line * static_cast<int>(lines.size() + 1) + 12;
    const int x = (display::DisplayControl::kWidth - width) / 2, y = 60;
    d.fill_rect(x, y, width, height, 0);
    d.text_out(x + 10, y + 6, "Quarvel: the player's keys");
    for (size_t i = 0; i < lines.size(); ++i) {
      const int ly = y + 6 + line * static_cast<int>(i + 1);
      d.text_out(x + 10, ly, lines[i].keys);
      d.text_out(x + 150, ly, lines[i].action);
    }
  }
  std::string status = note_;
  if (paused_) status = status.empty() ? "Paused" : "Paused  " + status;
  if (!status.empty()) {
    const int y = display::DisplayControl::kHeight - line - 10;
    d.fill_rect(8, y - 4, 8 + 9 * static_cast<int>(status.size()), line + 6, 0);
    d.text_out(12, y, status);
  }
}

}  // namespace quarvel::runner
