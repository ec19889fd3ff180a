#pragma once
// The show's music start-up in FormCreate, its error report, and the
// release of the music in FormDestroy. Written against the audio
// layer's interface, so a fake layer can drive it.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/audio/music_device.h"

namespace quarvel::app {

// The music file, opened by its relative name from the current directory.
inline constexpr const char* kMusicFile = "sik_test.mp3";
// The only layer version the start-up accepts (major 0, minor 8).
inline constexpr uint32_t kExpectedMusicVersion = 524288;

// How the error report reaches the user and how the process then ends.
// The defaults show an SDL message box (error icon) and print the same text
// on standard error, then exit with status 1; tests replace both.
struct ErrorReportHooks {
  std::function<void(const std::string& caption, const std::string& text)> show;
  std::function<void(int status)> exit;
};
ErrorReportHooks default_error_report_hooks();

// What the default exit hook throws in a web page, where a process cannot
// exit: the page's program catches it and ends the show there.
struct ShowExit {
  int status;
};

// The report's text: the message, a line break (CR LF), then
// "(error code: " + the layer's last error code in decimal + ")".
std::string error_report_text(const std::string& message, int error_code);

// Shows the report captioned "Error" with the layer's last error code, then
// ends the process with status 1 through the hooks.
void error_report(audio::MusicDevice& music, const std::string& message, const ErrorReportHooks& hooks);

// FormCreate's music steps, in order: the version check, the device set-up
// (default device, 44100 Hz, flags 16, the form's window), start, the stream
// of kMusicFile into `flux_musique` (a failure is not checked: the handle
// is then 0), and the module play the show asks for. Returns false when a
// fatal error was reported (the process has ended unless `hooks.exit`
// returns, as in tests); `flux_musique` is then left as it was.
bool FormCreate_music(audio::MusicDevice& music, void* window, uint32_t& flux_musique,
                      const ErrorReportHooks& hooks = default_error_report_hooks());

// FormDestroy: frees the music layer (streams and output).
void FormDestroy_music(audio::MusicDevice& music);

}  // namespace quarvel::app
