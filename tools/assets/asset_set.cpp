#include "asset_set.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/form_pictures.h"
#include "bmp_writer.h"
#include "models.h"
#include "music.h"
#include "textures.h"

namespace quarvel::assets {

std::vector<AssetFile> make_model_files() {
  std::vector<AssetFile> out;
  for (int i = 0; i < kModelCount; ++i) {
    std::string text = write_x_text(make_model(i));
    out.push_back({model_file_name(i), std::vector<uint8_t>(text.begin(), text.end())});
  }
  return out;
}

std::vector<AssetFile> make_picture_files() {
  std::vector<AssetFile> out;
  out.push_back({"greenmos.bmp", encode_bmp(make_moss_texture())});
  out.push_back({"vaisseau.bmp", encode_bmp(make_hull_texture())});
  out.push_back({"fire.BMP", encode_bmp(make_fire_texture())});
  out.push_back({"arbre1.bmp", encode_bmp(make_tree_texture())});
  out.push_back({"explo.BMP", encode_bmp(make_explosion_texture())});
  Picture title = make_title_picture();
  out.push_back({"introsi.bmp", encode_bmp(title)});
  out.push_back({"introsi.jpg", encode_jpeg(title, 90)});
  return out;
}

std::vector<AssetFile> make_form_picture_files() {
  std::vector<AssetFile> out;
  std::vector<Picture> pics = make_form_pictures();
  for (size_t i = 0; i < pics.size(); ++i)
    out.push_back({"form/picture" + std::to_string(i) + ".bmp", encode_bmp(pics[i])});
  return out;
}

AssetFile make_music_file() { return {"sik_test.mp3", encode_mp3(compose_music())}; }

std::vector<AssetFile> make_asset_set() {
  std::vector<AssetFile> all = make_model_files();
  for (auto* part : {&make_picture_files, &make_form_picture_files}) {
    std::vector<AssetFile> more = (*part)();
    all.insert(all.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  }
  all.push_back(make_music_file());
  return all;
}

bool write_asset_set(const std::string& dir, const std::vector<AssetFile>& files,
                     std::string& error) {
  namespace fs = std::filesystem;
  for (const AssetFile& f : files) {
    const fs::path path = fs::path(dir) / f.name;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
      error = path.parent_path().string() + ": cannot create folder: " + ec.message();
      return false;
    }
    {
      std::ifstream in(path, std::ios::binary);
      if (in) {
        std::vector<uint8_t> old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (old == f.bytes) continue;
      }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
      error = path.string() + ": cannot write: " + std::strerror(errno);
      return false;
    }
    out.write(reinterpret_cast<const char*>(f.bytes.data()), static_cast<std::streamsize>(f.bytes.size()));
    if (!out) {
      error = path.string() + ": write failed";
      return false;
    }
  }
  return true;
}

}  // namespace quarvel::assets
