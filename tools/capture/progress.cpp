#include "progress.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "platform/audio/pcm_track.h"

namespace quarvel::capture {

bool progress_wanted() {
  const char* ci = std::getenv("CI");
  return ::isatty(STDERR_FILENO) == 1 && !(ci && *ci);
}

std::string progress_line(const TickInfo& t, long long frames, double wall_seconds) {
  double share = 0;
  if (t.music_bytes > 0) share = static_cast<double>(t.music_pos) / static_cast<double>(t.music_bytes);
  const double fps = wall_seconds > 0 ? static_cast<double>(frames) / wall_seconds : 0;
  char left[32] = "--:--";
  if (share > 0.001 && wall_seconds > 0) {
    const long long s = std::llround(wall_seconds * (1 - share) / share);
    std::snprintf(left, sizeof left, "%lld:%02lld", s / 60, s % 60);
  }
  char buf[160];
  std::snprintf(buf, sizeof buf, "%-10s clock %9.2f  music %5.1f%%  %7.1f fps  left %s", step_name(t.step).c_str(),
                static_cast<double>(t.horloge), share * 100, fps, left);
  return buf;
}

void Progress::update(const TickInfo& t) {
  ++frames_;
  if (!on_) return;
  const auto now = Clock::now();
  if (shown_ && now - last_ < std::chrono::milliseconds(250)) return;
  last_ = now;
  shown_ = true;
  const std::string line = progress_line(t, frames_, std::chrono::duration<double>(now - start_).count());
  std::fprintf(stderr, "\r%s\033[K", line.c_str());
  std::fflush(stderr);
}

void Progress::finish() {
  if (!shown_) return;
  shown_ = false;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
}

}  // namespace quarvel::capture
