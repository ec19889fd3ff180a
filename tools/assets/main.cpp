// quarvel-assets OUTDIR: writes the stand-in models, pictures and music that
// the show reads, and the program's icon, the same bytes on every run.
#include <cstdio>
#include <string>

#include "app/build_info.h"
#include "asset_set.h"
#include "icon.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("quarvel-assets %s\n", quarvel::kVersion);
    return 0;
  }
  const char* usage = "usage: quarvel-assets OUTDIR | --version\n";
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(usage, stdout);
    return 0;
  }
  // An option it does not know is not a folder to fill (./-name is).
  if (argc != 2 || argv[1][0] == '-') {
    if (argc == 2) std::fprintf(stderr, "quarvel-assets: unknown option: %s\n", argv[1]);
    std::fputs(usage, stderr);
    return 2;
  }
  std::string error;
  auto files = quarvel::assets::make_asset_set();
  files.push_back(quarvel::assets::make_icon_file());
  if (!quarvel::assets::write_asset_set(argv[1], files, error)) {
    std::fprintf(stderr, "quarvel-assets: %s\n", error.c_str());
    return 1;
  }
  std::printf("quarvel-assets: %zu files in %s\n", files.size(), argv[1]);
  return 0;
}
