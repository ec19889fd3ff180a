#pragma once
// The player around the show: its own keys (help, pause, screenshot,
// volume, scenes), pausing, the music's volume, and seeking to a scene's
// first tick. None of its keys is one the show reads, so the show plays the
// same with or without them.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarvel::app {
class TMainForm;
}
namespace quarvel::audio {
class MusicSystem;
}
namespace quarvel::display {
class FrameGrabber;
}

namespace quarvel::runner {

enum class PlayerKey { None, Help, Pause, Screenshot, VolumeDown, VolumeUp, Mute, PreviousScene, NextScene };

// The player's key for a key press (a show key number, with Ctrl held or
// not): F1 help, Pause/Break pause, F12 screenshot, Ctrl+- and Ctrl+=
// volume, Ctrl+M mute, Ctrl+[ and Ctrl+] the previous and next scene.
PlayerKey player_key(int key, bool ctrl);

// The help's lines: a key and what it does.
struct HelpLine {
  const char* keys;
  const char* action;
};
const std::vector<HelpLine>& help_lines();

// The milliseconds the form's frame timer reads: a source clock, standing
// still while paused and going on from there after; a seek moves it on by
// the virtual time of the ticks it runs.
class PlayerClock {
 public:
  explicit PlayerClock(std::function<uint32_t()> source) : source_(std::move(source)) {}
  uint32_t now() const { return paused_ ? held_ : static_cast<uint32_t>(source_() - offset_); }
  void pause();
  void resume();
  bool paused() const { return paused_; }
  // While paused: moves the clock on by `ms`.
  void add(uint32_t ms) { held_ += ms; }

 private:
  std::function<uint32_t()> source_;
  uint32_t offset_ = 0;  // time spent paused (wraps with the source)
  uint32_t held_ = 0;
  bool paused_ = false;
};

class Player {
 public:
  // `clock` (the form's, when it is a player clock) and `grabber` (attached
  // to the form's display, to hold a seek's ticks back) may be null.
  // `wall` is real time in milliseconds, for how long a note shows.
  Player(app::TMainForm& form, audio::MusicSystem& music, PlayerClock* clock, display::FrameGrabber* grabber,
         std::function<uint32_t()> wall);

  // A press of one of the player's keys; `pump` keeps the window alive
  // during a long seek. False when the key is not the player's.
  bool key(int key, bool ctrl, const std::function<void()>& pump = {});

  // Pause: no tick runs (the caller stops calling the frame timer), the
  // clock stands still, the music holds where it is.
  void set_paused(bool on);
  bool paused() const { return paused_; }

  // Volume 0..100 (and muted or not) of the music heard; with `say` a
  // note on the picture says it for two seconds.
  void set_volume(int percent, bool muted, bool say = true);
  int volume() const { return volume_; }
  bool muted() const { return muted_; }

  bool help_shown() const { return help_; }
  void set_help(bool on);

  // Runs ticks without rendering or presenting them, each a virtual
  // 1/60 s with the music moved on by as much, until `chapter` (1..6) is
  // reached: the next tick is the scene's first, as in a run that got
  // there. False when the show closed first or the frame timer stopped.
  bool seek_chapter(int chapter, const std::function<void()>& pump = {});

  // The same seek in steps, for a caller that must go back to its own loop
  // between them (the page): begin_seek holds the clock and the music,
  // each seek_step runs at most `ticks` ticks and is true once the seek is
  // over (reached, or the show closed or stopped), the clock and the music
  // going on again as they were. Nothing else may tick the form meanwhile.
  void begin_seek(int chapter);
  bool seek_step(int ticks);
  bool seeking() const { return seek_target_ > 0; }
  // Whether the last seek reached its chapter.
  bool seek_reached() const { return seek_reached_; }

  // Begins the way to `chapter` (1..6): onwards when it lies ahead, else
  // from the show's start again (restart) and onwards from there.
  void begin_chapter(int chapter);
  // Begins the way to the previous (`step` < 0: the start of the scene
  // before the one playing; from the opening, the opening again) or the
  // next chapter; false (nothing begun) for the next from the finale.
  bool begin_chapter_step(int step);
  // The show from its start, as the program started it: a fresh show, the
  // pseudo-random sequence from its seed, the music from its start.
  void restart();

  // Ticks the last seek ran.
  int seek_ticks() const { return seek_ticks_; }

  // Called between ticks (and while paused): drops a note whose time is
  // over. True when what is presented changed (a paused picture must be
  // presented again).
  bool update();

  // F12: filled in by whoever saves the picture (the window program).
  std::function<void()> screenshot;

  // Whether the help, the notes and "Paused" are drawn over the picture
  // (on by default). The page shows them in its own controls instead.
  void set_overlay_shown(bool on) {
    overlay_shown_ = on;
    refresh_overlay();
  }

 private:
  void note(const std::string& text);
  void draw_overlay();
  void refresh_overlay();

  app::TMainForm& form_;
  audio::MusicSystem& music_;
  PlayerClock* clock_;
  display::FrameGrabber* grabber_;
  std::function<uint32_t()> wall_;
  bool paused_ = false;
  bool help_ = false;
  bool overlay_shown_ = true;
  int volume_ = 100;
  bool muted_ = false;
  std::string note_;
  uint32_t note_until_ = 0;
  bool changed_ = false;
  int seek_ticks_ = 0;
  // The seek under way: its chapter (0: none), whether the player was
  // paused before it, its virtual steps and milliseconds so far.
  int seek_target_ = 0;
  bool seek_was_paused_ = false;
  bool seek_reached_ = false;
  uint64_t seek_steps_ = 0;
  uint32_t seek_ms_ = 0;
};

}  // namespace quarvel::runner
