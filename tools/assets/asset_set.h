#pragma once
// The whole stand-in asset set: every file the show reads, as bytes, and the
// writer that places them in a folder.
#include <cstdint>
#include <string>
#include <vector>

namespace quarvel::assets {

struct AssetFile {
  std::string name;  // relative to the output folder, '/' separated
  std::vector<uint8_t> bytes;
};

std::vector<AssetFile> make_model_files();    // 00000000.dat .. 00000016.dat
std::vector<AssetFile> make_picture_files();  // textures, introsi.bmp and introsi.jpg
std::vector<AssetFile> make_form_picture_files();  // form/picture0.bmp .. picture8.bmp
AssetFile make_music_file();                  // sik_test.mp3
std::vector<AssetFile> make_asset_set();      // all of the above

// Writes the files below `dir` (creating folders); a file whose content is
// already the same is left untouched. On failure returns false and says which
// file and why in `error`.
bool write_asset_set(const std::string& dir, const std::vector<AssetFile>& files,
                     std::string& error);

}  // namespace quarvel::assets
