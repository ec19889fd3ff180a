#pragma once
// Where the show's files lie. The show opens them by their relative names
// from the current folder, so a program started elsewhere first finds the
// folder that holds them and changes into it.
#include <filesystem>
#include <string>
#include <vector>

namespace quarvel::app {

// The first of the show's model files; with the music it marks a show folder.
inline constexpr const char* kFirstModelFile = "00000000.dat";

// True when `dir` holds the music file.
bool holds_music(const std::filesystem::path& dir);

// True when `dir` holds the music file and the first model file.
bool holds_show_files(const std::filesystem::path& dir);

// The folder of the running program (from /proc/self/exe), or an empty path
// when the system does not say.
std::filesystem::path program_folder();

// The folders that may hold the show, in the order they are tried: `current`,
// then `program_dir` (the files beside the program), then the show folder the
// build makes beside the program's folder (`program_dir`/../show), then the
// installed show folder (`program_dir`/../share/games/quarvel). Without a
// program folder only `current` is tried. Paths are made absolute and tidied.
// The folder a program plays is also where the show finds the files that
// belong beside the program (its textures).
std::vector<std::filesystem::path> show_folder_candidates(const std::filesystem::path& current,
                                                          const std::filesystem::path& program_dir);

// The folders as one text, separated by commas, for messages.
std::string folder_list(const std::vector<std::filesystem::path>& folders);

}  // namespace quarvel::app
