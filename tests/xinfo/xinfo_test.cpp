// quarvel-xinfo as a user runs it: one JSON line per good file on standard
// output, one "error: FILE: reason" line per bad file on standard error,
// exit status 2 when any file was bad.
#include <unistd.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture/run_program.h"

namespace fs = std::filesystem;
using quarvel::test::ProgramRun;

namespace {

ProgramRun xinfo(const std::vector<std::string>& args) {
  return quarvel::test::run_program(quarvel::test::built_program("quarvel-xinfo"), args);
}

const std::string kData = QUARVEL_TESTDATA_DIR;

}  // namespace

TEST(Xinfo, DescribesModelsPicturesAndMusicOneLineEach) {
  const ProgramRun r = xinfo({kData + "/x/assimp/test_cube_text.x", kData + "/x/assimp/test.png",
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
  const fs::path dir = fs::temp_directory_path() / ("quarvel_xinfo_bad_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string junk = (dir / "junk.dat").string();
  std::ofstream(junk) << "neither model, picture nor music";
  const std::string missing = (dir / "missing.x").string();
  const ProgramRun r = xinfo({junk, kData + "/x/assimp/test_cube_text.x", missing,
                       kData + "/x/assimp/malformed/empty.x"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out.size(), 1u);
  ASSERT_EQ(r.err.size(), 3u);
  EXPECT_EQ(r.err[0], "error: " + junk + ": not a model file (no \"xof \" header), a picture or MP3 music");
  EXPECT_EQ(r.err[1].rfind("error: " + missing + ": cannot open the file", 0), 0u) << r.err[1];
  EXPECT_EQ(r.err[2], "error: " + kData + "/x/assimp/malformed/empty.x: the file is empty");
  fs::remove_all(dir);
}

TEST(Xinfo, CommandLineHelpUsageAndFolders) {
  const ProgramRun help = xinfo({"--help"});
  EXPECT_EQ(help.status, 0);
  ASSERT_FALSE(help.out.empty());
  EXPECT_EQ(help.out[0], "usage: quarvel-xinfo FILE...");
  EXPECT_TRUE(help.err.empty());

  // Without arguments the usage names the program, not the path it was run by.
  const ProgramRun none = xinfo({});
  EXPECT_EQ(none.status, 2);
  ASSERT_FALSE(none.err.empty());
  EXPECT_EQ(none.err[0], "usage: quarvel-xinfo FILE...");
  EXPECT_TRUE(none.out.empty());

  const ProgramRun option = xinfo({"--json"});
  EXPECT_EQ(option.status, 2);
  ASSERT_EQ(option.err.size(), 1u);
  EXPECT_EQ(option.err[0].rfind("quarvel-xinfo: unknown option: --json", 0), 0u) << option.err[0];

  // A folder among files: one line for it, the files still described.
  const ProgramRun folder = xinfo({kData + "/x", kData + "/x/assimp/test_cube_text.x"});
  EXPECT_EQ(folder.status, 2);
  EXPECT_EQ(folder.out.size(), 1u);
  ASSERT_EQ(folder.err.size(), 1u);
  EXPECT_EQ(folder.err[0], "error: " + kData + "/x: is a folder");
}
