#include "scene/lights.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/common/number_text.h"
#include "scene/primitives.h"

namespace quarvel::scene {
namespace {

constexpr const char* kLightFile = "tmp.tmp";
constexpr char kSeparator = '\xB2';

struct StartLight {
  int32_t index, type;
  float x, y, z;
};

// The start-up lights in creation order: index 0 is used twice, so the
// ambient light stays in the scene while the table keeps the point light.
constexpr StartLight kStartLights[] = {
    {0, 0, 0, 0, 0},
    {0, 3, 10000, 10000, 0},
    {1, 3, -10000, 10000, 0},
    {2, 3, 0, 10000, -10000},
    {3, 3, -10000, 10000, -10000},
    {4, 3, 10000, -10000, 0},
    {5, 3, 10000, -10000, -10000},
    {6, 3, 10000, -10000, 10000},
    {7, 3, 0, -10000, -10000},
};

void say_not_saved(const std::string& why) {
  std::fprintf(stderr, "%s: the light line was not saved: %s\n", kLightFile, why.c_str());
}

}  // namespace

void create_light_set(Show& s) {
  for (const StartLight& l : kStartLights) add_Light(s, l.index, l.type, l.x, l.y, l.z, 1, 1, 1);
}

std::string general_float(double v) {
  if (v == 0) v = 0;  // no "-0"
  return text_with_precision(v, std::chars_format::general, 15);
}

std::string light_line(const Show& s) {
  std::string line = "X";
  for (float v : {s.controls.light_x, s.controls.light_y, s.controls.light_z, s.controls.light_r, s.controls.light_g,
                  s.controls.light_b}) {
    line += kSeparator;
    line += general_float(static_cast<double>(v));
  }
  line += kSeparator;
  line += "3";
  return line;
}

void Sauve_light(Show& s, FileWrite write) {
  // The file is only ever appended to: a missing file is not created (and
  // that is not worth a word), a read-only one is left alone even where the
  // system would let us write it.
  struct stat st {};
  if (::stat(kLightFile, &st) != 0) {
    if (errno != ENOENT) say_not_saved(std::strerror(errno));
    return;
  }
  if (S_ISDIR(st.st_mode)) return say_not_saved("it is a folder");
  if (!S_ISREG(st.st_mode)) return say_not_saved("it is not a regular file");
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return say_not_saved("the file is read-only");

  const int fd = ::open(kLightFile, O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) say_not_saved(std::strerror(errno));
    return;
  }
  // Where the line starts: a write that stops part way (a full disk) is
  // cut back to here, so the file never ends in half a line.
  struct stat opened {};
  const off_t start = ::fstat(fd, &opened) == 0 ? opened.st_size : -1;
  const std::string line = light_line(s) + "\r\n";
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write ? write(fd, line.data() + done, line.size() - done)
                            : ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      std::string why = n < 0 ? std::strerror(errno) : "nothing could be written";
      if (done > 0 && (start < 0 || ::ftruncate(fd, start) != 0)) why += " (a part of the line is left in the file)";
      say_not_saved(why);
      break;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace quarvel::scene
