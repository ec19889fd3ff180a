#include "app/music_startup.h"

#include <cstdio>
#include <cstdlib>

namespace quarvel::app {

std::string error_report_text(const std::string& message, int error_code) {
  return message + "\r\n" + "(error code: " + std::to_string(error_code) + ")";
}

void error_report(audio::MusicDevice& music, const std::string& message, const ErrorReportHooks& hooks) {
  const std::string text = error_report_text(message, music.last_error());
  if (hooks.show) hooks.show("Error", text);
  if (hooks.exit) hooks.exit(1);
}

bool FormCreate_music(audio::MusicDevice& music, void* window, uint32_t& flux_musique,
                      const ErrorReportHooks& hooks) {
  // The music library must be exactly version 0.8, nothing older or newer.
  if (music.version() != kExpectedMusicVersion) {
    error_report(music, "BASS version 0.8 was not loaded", hooks);
    return false;
  }
  // The default device at 44100 Hz.
  if (!music.init(-1, 44100, 16, window)) {
    error_report(music, "Can't initialize device", hooks);
    return false;
  }
  music.start();
  // The music file: a missing or broken file gives handle 0 and the show
  // goes on.
  flux_musique = music.open_stream(kMusicFile);
  // Started here as a module, with the result ignored; the first scene
  // builder plays the stream.
  music.play_module(flux_musique);
  return true;
}

void FormDestroy_music(audio::MusicDevice& music) { music.free(); }

}  // namespace quarvel::app
