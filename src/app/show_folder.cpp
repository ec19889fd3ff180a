#include "app/show_folder.h"

#include <system_error>

#include "app/build_info.h"
#include "app/music_startup.h"

namespace quarvel::app {
namespace fs = std::filesystem;
namespace {

bool is_file(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

fs::path tidy(const fs::path& p) {
  std::error_code ec;
  fs::path t = fs::weakly_canonical(fs::absolute(p, ec), ec);
  return ec ? p.lexically_normal() : t;
}

}  // namespace

bool holds_music(const fs::path& dir) { return is_file(dir / kMusicFile); }

bool holds_show_files(const fs::path& dir) { return holds_music(dir) && is_file(dir / kFirstModelFile); }

fs::path program_folder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

std::vector<fs::path> show_folder_candidates(const fs::path& current, const fs::path& program_dir) {
  std::vector<fs::path> out{tidy(current)};
  if (program_dir.empty()) return out;
  for (const fs::path& p : {program_dir, program_dir / ".." / "show", program_dir / kInstalledShowFolder}) {
    const fs::path t = tidy(p);
    bool seen = false;
    for (const auto& o : out) seen = seen || o == t;
    if (!seen) out.push_back(t);
  }
  return out;
}

std::string folder_list(const std::vector<fs::path>& folders) {
  std::string out;
  for (const auto& f : folders) out += (out.empty() ? "" : ", ") + f.string();
  return out;
}

}  // namespace quarvel::app
