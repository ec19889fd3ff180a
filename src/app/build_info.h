#pragma once
// What the build sets once for every program: the version and the installed
// layout (the definitions are generated from cmake/build_info.cpp.in).
namespace quarvel {

// The project's version, as project(VERSION) in CMakeLists.txt gives it.
extern const char* const kVersion;

// Where an installed program finds the show's files, relative to the folder
// that holds the program (/usr/games -> /usr/share/games/quarvel).
extern const char* const kInstalledShowFolder;

}  // namespace quarvel
