#include "video.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/audio/pcm_track.h"
#include "platform/display/display.h"

extern char** environ;

namespace quarvel::capture {
namespace {

constexpr size_t kQueueLength = 4;

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Starts `argv` with its standard input on a new pipe (the write end comes
// back in `in_fd`) and its standard output on /dev/null; standard error is
// ours, so its complaints reach the user.
bool spawn_with_pipe(const std::vector<std::string>& argv, int& pid, int& in_fd, std::string& error) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe: ") + std::strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t child = 0;
  const int rc = posix_spawn(&child, argv[0].c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[0]);
  if (rc != 0) {
    ::close(fds[1]);
    error = argv[0] + ": cannot start (" + std::strerror(rc) + ")";
    return false;
  }
  pid = child;
  in_fd = fds[1];
  return true;
}

bool write_all(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool wait_ok(int pid, const std::string& what, std::string& error) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      error = what + ": lost the ffmpeg process";
      return false;
    }
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error = what + ": ffmpeg failed (" +
          (WIFEXITED(status) ? "status " + std::to_string(WEXITSTATUS(status))
                             : "signal " + std::to_string(WTERMSIG(status))) +
          ")";
  return false;
}

}  // namespace

std::string find_program(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (dir.empty()) dir = ".";
    const std::string full = dir + "/" + name;
    if (::access(full.c_str(), X_OK) == 0 && !std::filesystem::is_directory(full)) return full;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return {};
}

std::string frame_rate_text(double ms_per_tick) {
  const double fps = 1000.0 / ms_per_tick;
  char buf[32];
  if (std::fabs(fps - std::round(fps)) < 1e-9) {
    std::snprintf(buf, sizeof buf, "%.0f", fps);
  } else {
    std::snprintf(buf, sizeof buf, "%.9g", fps);
  }
  return buf;
}

long long sound_frames(const audio::PcmTrack& music, long long frames, double seconds_per_frame) {
  return std::max(std::llround(static_cast<double>(frames) * seconds_per_frame * music.rate), 0LL);
}

void music_under_video_part(const audio::PcmTrack& music, long long offset, long long from, long long to,
                            std::vector<int16_t>& out) {
  const int channels = music.channels > 0 ? music.channels : 1;
  out.assign(static_cast<size_t>(std::max(to - from, 0LL)) * static_cast<size_t>(channels), 0);
  const long long have = static_cast<long long>(music.frames());
  for (long long f = std::max(from, offset); f < to && f - offset < have; ++f)
    for (int c = 0; c < channels; ++c)
      out[static_cast<size_t>((f - from) * channels + c)] = music.samples[static_cast<size_t>((f - offset) * channels + c)];
}

std::vector<int16_t> music_under_video(const audio::PcmTrack& music, double offset_seconds, long long frames,
                                       double seconds_per_frame) {
  std::vector<int16_t> out;
  music_under_video_part(music, std::llround(offset_seconds * music.rate), 0,
                         sound_frames(music, frames, seconds_per_frame), out);
  return out;
}

VideoEncoder::~VideoEncoder() {
  std::string ignored;
  if (thread_.joinable() || pid_ > 0) close(ignored);
}

bool VideoEncoder::open(const std::string& ffmpeg, const std::string& path, int scale, const std::string& rate,
                        std::string& error, int shown) {
  std::signal(SIGPIPE, SIG_IGN);  // a failing encoder shows as a write error
  scale_ = scale;
  const std::string size = std::to_string(display::DisplayControl::kWidth * shown * scale) + "x" +
                           std::to_string(display::DisplayControl::kHeight * shown * scale);
  // The fastest preset: at this size and quality (crf 18) the slower ones
  // only make the file smaller, at two to three times the encoder's time a
  // frame. x264 keeps its own threads: on one thread it costs less in all
  // but leaves idle the core the renderer does not fill, and a whole-show
  // export took longer.
  const std::vector<std::string> argv = {ffmpeg,    "-hide_banner", "-loglevel", "error",   "-nostdin", "-y",
                                         "-f",      "rawvideo",     "-pix_fmt",  "yuv420p", "-s",       size,
                                         "-framerate", rate,        "-i",        "pipe:0",
                                         "-c:v",    "libx264",      "-preset",   "ultrafast", "-crf",   "18",
                                         "-movflags", "+faststart", "-f",        "mp4",     path};
  if (!spawn_with_pipe(argv, pid_, pipe_fd_, error)) return false;
  // The encoder at the lowest priority (its threads, made once the first
  // picture comes, inherit it): the rendering is what the export waits for,
  // and the encoder, with pictures queued, takes every moment the renderer
  // leaves a core idle instead of slowing it down (on 2 cores about a fifth
  // of a whole-show export was such idle time). Failing to lower it only
  // costs time.
  setpriority(PRIO_PROCESS, static_cast<id_t>(pid_), 19);
  thread_ = std::thread([this] { writer(); });
  return true;
}

bool VideoEncoder::add(Picture picture) {
  const auto started = Clock::now();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kQueueLength || failed_; });
  wait_seconds_ += since(started);
  if (failed_) return false;
  queue_.push_back(std::move(picture));
  ++frames_;
  changed_.notify_all();
  return true;
}

void VideoEncoder::writer() {
  for (;;) {
    Picture p;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
      if (queue_.empty()) return;
      p = std::move(queue_.front());
      queue_.pop_front();
      changed_.notify_all();
    }
    const YuvPicture frame = to_yuv420(p, scale_);
    const auto started = Clock::now();
    const bool ok = write_all(pipe_fd_, frame.bytes.data(), frame.bytes.size());
    std::lock_guard lock(mutex_);
    write_seconds_ += since(started);
    if (!ok) {
      failed_ = true;
      queue_.clear();
      changed_.notify_all();
      return;
    }
  }
}

bool VideoEncoder::close(std::string& error) {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  if (pipe_fd_ >= 0) ::close(pipe_fd_);
  pipe_fd_ = -1;
  if (pid_ <= 0) return false;
  const int pid = pid_;
  pid_ = -1;
  const bool ok = wait_ok(pid, "video", error);
  if (ok && failed_) {
    error = "video: the encoder stopped taking pictures";
    return false;
  }
  return ok;
}

MusicEncoder::~MusicEncoder() {
  if (fd_ >= 0) ::close(fd_);
  if (pid_ > 0) {
    int status = 0;
    waitpid(pid_, &status, 0);
  }
}

bool MusicEncoder::open(const std::string& ffmpeg, const std::string& path, const audio::PcmTrack& music,
                        double offset_seconds, double seconds_per_frame, std::string& error) {
  std::signal(SIGPIPE, SIG_IGN);
  music_ = &music;
  offset_ = std::llround(offset_seconds * music.rate);
  seconds_per_frame_ = seconds_per_frame;
  const std::vector<std::string> argv = {
      ffmpeg, "-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-f", "s16le", "-ar", std::to_string(music.rate),
      "-ac", std::to_string(music.channels), "-i", "pipe:0", "-c:a", "aac", "-b:a", "192k", "-f", "mp4", path};
  if (!spawn_with_pipe(argv, pid_, fd_, error)) {
    error = "music: " + error;
    return false;
  }
  // As the picture's encoder: only the moments the renderer leaves idle.
  setpriority(PRIO_PROCESS, static_cast<id_t>(pid_), 19);
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  return true;
}

bool MusicEncoder::write_until(long long end, bool wait) {
  constexpr long long kPart = 16384;  // sample frames made at a time
  while (!failed_) {
    if (pending_at_ == pending_.size() * sizeof(int16_t)) {
      if (made_ >= end) return true;
      const long long to = std::min(end, made_ + kPart);
      music_under_video_part(*music_, offset_, made_, to, pending_);
      made_ = to;
      pending_at_ = 0;
    }
    const char* bytes = reinterpret_cast<const char*>(pending_.data()) + pending_at_;
    const size_t left = pending_.size() * sizeof(int16_t) - pending_at_;
    const ssize_t n = ::write(fd_, bytes, left);
    if (n >= 0) {
      pending_at_ += static_cast<size_t>(n);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!wait) return true;
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, -1);
    } else if (errno != EINTR) {
      failed_ = true;
    }
  }
  return false;
}

void MusicEncoder::feed(long long frames) {
  if (fd_ >= 0) write_until(sound_frames(*music_, frames, seconds_per_frame_), false);
}

bool MusicEncoder::close(long long frames, std::string& error) {
  if (pid_ <= 0) return false;
  const bool wrote = write_until(sound_frames(*music_, frames, seconds_per_frame_), true);
  ::close(fd_);
  fd_ = -1;
  const int pid = pid_;
  pid_ = -1;
  if (!wait_ok(pid, "music", error)) return false;
  if (!wrote) {
    error = "music: the encoder stopped taking sound";
    return false;
  }
  return true;
}

bool mux_music(const std::string& ffmpeg, const std::string& video, const std::string& music, const std::string& out,
               std::string& error) {
  const std::vector<std::string> argv = {ffmpeg,  "-hide_banner", "-loglevel", "error", "-nostdin", "-y",
                                         "-i",    video,          "-i",        music,   "-map",     "0:v",
                                         "-map",  "1:a",          "-c",        "copy",  "-movflags", "+faststart",
                                         "-f",    "mp4",          out};
  int pid = -1, fd = -1;
  if (!spawn_with_pipe(argv, pid, fd, error)) return false;
  ::close(fd);
  return wait_ok(pid, "music", error);
}

}  // namespace quarvel::capture
