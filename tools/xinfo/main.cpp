// quarvel-xinfo FILE...: prints, one JSON object per line, what each file
// holds (model, picture or music). A file that cannot be read gives one
// line "error: FILE: reason" on standard error and exit status 2, after
// the other files are described.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/common/picture_file.h"
#include "platform/common/json.h"
#include "platform/retained/xfile/describe.h"
#include "platform/retained/xfile/reader.h"

// The single place where music files are described. The audio layer
// provides describe_music; without it, music files are refused.
#if __has_include("platform/audio/music_info.h")
#include "platform/audio/music_info.h"
#define QUARVEL_XINFO_MUSIC 1
#endif

namespace {

using quarvel::json_string;

bool read_whole(const std::string& path, std::vector<unsigned char>& data, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open the file (" + std::string(std::strerror(errno)) + ")";
    return false;
  }
  unsigned char chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
    if (data.size() + n > (size_t{256} << 20)) {
      std::fclose(f);
      error = "the file is larger than 256 MB";
      return false;
    }
    data.insert(data.end(), chunk, chunk + n);
  }
  bool bad = std::ferror(f);
  std::fclose(f);
  if (bad) {
    error = "cannot read the file";
    return false;
  }
  return true;
}

// Describes one file on one line; false with `error` (without the file name) when it cannot.
bool describe(const std::string& path, std::string& line, std::string& error) {
  std::vector<unsigned char> data;
  if (!read_whole(path, data, error)) return false;
  if (data.empty()) {
    error = "the file is empty";
    return false;
  }
  if (quarvel::xfile::looks_like_model(data.data(), data.size())) {
    quarvel::xfile::Model model;
    if (!quarvel::xfile::read_memory(data.data(), data.size(), path, model, error)) {
      error = error.substr(path.size() + 2);  // read_memory names the file itself
      return false;
    }
    line = quarvel::xfile::describe_model(model, path);
    return true;
  }
  quarvel::PictureInfo info;
  if (quarvel::probe_picture(data.data(), data.size(), info)) {
    quarvel::Picture picture;
    if (!quarvel::decode_picture(data.data(), data.size(), path, picture, error)) {
      error = error.substr(path.size() + 2);
      return false;
    }
    line = "{\"file\": " + json_string(path) + ", \"kind\": \"picture\", \"format\": \"" + info.format +
           "\", \"width\": " + std::to_string(picture.width) + ", \"height\": " + std::to_string(picture.height) +
           ", \"bits\": " + std::to_string(picture.bits) + "}";
    return true;
  }
#ifdef QUARVEL_XINFO_MUSIC
  return quarvel::audio::describe_music(path, line, error);
#else
  error = "neither a model file nor a picture";
  return false;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE...\n", argv[0]);
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::string path = argv[i], line, error;
    if (describe(path, line, error)) {
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
    } else {
      std::fprintf(stderr, "error: %s: %s\n", path.c_str(), error.c_str());
      status = 2;
    }
  }
  return status;
}
