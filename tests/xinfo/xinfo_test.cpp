// quarvel-xinfo as a user runs it: one JSON line per good file on standard
// output, one "error: FILE: reason" line per bad file on standard error,
// exit status 2 when any file was bad.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct XinfoRun {
  int status = -1;
  std::vector<std::string> out, err;
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

XinfoRun xinfo(const std::vector<std::string>& files) {
  const fs::path err_file = fs::temp_directory_path() / "quarvel_xinfo_test.err";
  std::string cmd = quote(std::string(QUARVEL_BINARY_DIR) + "/bin/quarvel-xinfo");
  for (const auto& f : files) cmd += " " + quote(f);
  cmd += " 2>" + quote(err_file.string());
  XinfoRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::string out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = lines_of(out);
  std::ifstream e(err_file);
  r.err = lines_of(std::string(std::istreambuf_iterator<char>(e), {}));
  fs::remove(err_file);
  return r;
}

const std::string kData = QUARVEL_TESTDATA_DIR;

}  // namespace

TEST(Xinfo, DescribesModelsPicturesAndMusicOneLineEach) {
  const XinfoRun r = xinfo({kData + "/x/assimp/test_cube_text.x", kData + "/x/assimp/test.png",
                       kData + "/audio/idle_tune.mp3"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.err.empty());
  ASSERT_EQ(r.out.size(), 3u);
  EXPECT_NE(r.out[0].find("\"kind\": \"model\""), std::string::npos) << r.out[0];
  EXPECT_NE(r.out[0].find("\"encoding\": \"txt\""), std::string::npos) << r.out[0];
  EXPECT_NE(r.out[1].find("\"kind\": \"picture\""), std::string::npos) << r.out[1];
  EXPECT_NE(r.out[2].find("\"kind\": \"music\""), std::string::npos) << r.out[2];
  EXPECT_NE(r.out[2].find("\"rate\": 44100"), std::string::npos) << r.out[2];
}

TEST(Xinfo, BadFilesGiveOneErrorLineEachAfterTheGoodOnes) {
  const fs::path dir = fs::temp_directory_path() / "quarvel_xinfo_bad";
  fs::create_directories(dir);
  const std::string junk = (dir / "junk.dat").string();
  std::ofstream(junk) << "neither model, picture nor music";
  const std::string missing = (dir / "missing.x").string();
  const XinfoRun r = xinfo({junk, kData + "/x/assimp/test_cube_text.x", missing,
                       kData + "/x/assimp/malformed/empty.x"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out.size(), 1u);
  ASSERT_EQ(r.err.size(), 3u);
  EXPECT_EQ(r.err[0], "error: " + junk + ": not a model file (no \"xof \" header), a picture or MP3 music");
  EXPECT_EQ(r.err[1].rfind("error: " + missing + ": cannot open the file", 0), 0u) << r.err[1];
  EXPECT_EQ(r.err[2], "error: " + kData + "/x/assimp/malformed/empty.x: the file is empty");
  fs::remove_all(dir);
}
