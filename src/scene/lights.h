#pragma once
// The start-up light set and the editable light's file.
#include <sys/types.h>

#include <cstddef>

#include "scene/show.h"

namespace quarvel::scene {

// The nine start-up lights (an ambient light at index 0, then eight point
// lights at indices 0..7, all white).
void create_light_set(Show& s);

// Appends "X" sep x sep y sep z sep r sep g sep b sep "3" CR LF to "tmp.tmp"
// in the current folder (sep: the byte 0xB2; numbers in the shortest general
// form, at most 15 significant digits, "."). Never creates or truncates the
// file: when it is missing nothing is written and nothing is said; when it
// cannot be written (read-only, a folder, a full disk) one line on standard
// error says so, and no part of the line is left in the file.
//
// `write` is the system's write(2) unless a test gives a stand-in (one that
// fails part way, as on a full disk).
using FileWrite = ssize_t (*)(int fd, const void* data, size_t size);
void Sauve_light(Show& s, FileWrite write = nullptr);

// The light line Sauve_light appends (without the line break).
std::string light_line(const Show& s);

// A float widened to double in the general format: shortest form of at
// most 15 significant digits, "." as decimal separator, whatever the locale.
std::string general_float(double v);

}  // namespace quarvel::scene
