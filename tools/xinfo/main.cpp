// quarvel-xinfo FILE...: prints, one JSON object per line, what each file
// holds (model, picture or music). A file that cannot be read gives one
// line "error: FILE: reason" on standard error and exit status 2, after
// the other files are described. Bad arguments, or standard output that
// cannot be written, give one line and status 2.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/build_info.h"
#include "platform/audio/music_info.h"
#include "platform/common/json.h"
#include "platform/common/picture_file.h"
#include "platform/retained/xfile/describe.h"
#include "platform/retained/xfile/reader.h"

namespace {

using quarvel::json_string;

constexpr const char* kUsage =
    "usage: quarvel-xinfo FILE...\n"
    "Describes each model (.x/.dat), picture (BMP, JPEG, PNG...) or MP3 music file as\n"
    "one JSON line on standard output; a file that cannot be read gives one line\n"
    "\"error: FILE: reason\" on standard error. Exit status 0 when every file was\n"
    "described, 2 otherwise. A file whose name starts with - is given as ./NAME.\n"
    "quarvel-xinfo --version prints the program's version.\n";

bool read_whole(const std::string& path, std::vector<unsigned char>& data, std::string& error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = "is a folder";
    return false;
  }
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

// An ID3 tag, an MPEG audio frame header at the start, or an .mp3 name:
// worth handing to the decoder (which then says what is wrong, if anything).
bool looks_like_mp3(const std::string& path, const std::vector<unsigned char>& d) {
  if (d.size() >= 3 && d[0] == 'I' && d[1] == 'D' && d[2] == '3') return true;
  if (d.size() >= 2 && d[0] == 0xFF && (d[1] & 0xE0) == 0xE0) return true;
  const size_t n = path.size();
  return n >= 4 && path[n - 4] == '.' && std::tolower(static_cast<unsigned char>(path[n - 3])) == 'm' &&
         std::tolower(static_cast<unsigned char>(path[n - 2])) == 'p' && path[n - 1] == '3';
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
  if (!looks_like_mp3(path, data)) {
    error = "not a model file (no \"xof \" header), a picture or MP3 music";
    return false;
  }
  return quarvel::audio::describe_music(path, line, error);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("quarvel-xinfo %s\n", quarvel::kVersion);
      return 0;
    }
    if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "quarvel-xinfo: unknown option: %s (quarvel-xinfo --help says more)\n", a.c_str());
      return 2;
    }
    files.push_back(a);
  }
  if (files.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  int status = 0;
  for (const std::string& path : files) {
    std::string line, error;
    if (describe(path, line, error)) {
      std::printf("%s\n", line.c_str());
      if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        // The description is lost: said once, and the rest is not worth describing.
        std::fprintf(stderr, "quarvel-xinfo: standard output: cannot write (%s)\n", std::strerror(errno));
        return 2;
      }
    } else {
      std::fprintf(stderr, "error: %s: %s\n", path.c_str(), error.c_str());
      status = 2;
    }
  }
  return status;
}
