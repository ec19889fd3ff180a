// The whole show through the runner, from the loading screen to the close:
// the chain of builders, the tick each one runs on, the end fade and the
// close; and the same chain on damaged show files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "show_fixture.h"
#include "show_runner.h"
#include "trace_reader.h"

using quarvel::testing::CurrentDir;
using quarvel::testing::read_text_file;
using quarvel::testing::TempDir;
namespace fs = std::filesystem;

namespace {

const fs::path kShowDir = fs::path(QUARVEL_BINARY_DIR) / "show";

using Tick = quarvel::test::TraceLine;

struct ShowRun {
  int status = -1;
  std::vector<Tick> ticks;
  std::string err;
};

// `after_tick`, when given, runs after each tick (see play_show).
ShowRun play(const fs::path& folder, double ms_per_tick, const quarvel::capture::AfterTick& after_tick = nullptr) {
  ShowRun run;
  CurrentDir here(folder);
  TempDir out;
  quarvel::runner::RunOptions o;
  o.ms_per_tick = ms_per_tick;
  o.trace = out.file("trace.jsonl");
  o.draw = false;  // the trace alone is read
  ::testing::internal::CaptureStderr();
  run.status = after_tick ? quarvel::capture::play_show(o, 0, after_tick) : quarvel::capture::play_show(o, 0, nullptr);
  run.err = ::testing::internal::GetCapturedStderr();
  std::istringstream in(read_text_file(o.trace));
  for (std::string l; std::getline(in, l);) run.ticks.emplace_back(l);
  return run;
}

// The clock the steps saw in tick i: the tick before's clock moved on by
// half the music's step.
float clock_seen(const ShowRun& r, size_t i) {
  const auto step = static_cast<int32_t>(static_cast<uint32_t>(r.ticks[i].number("pos")) -
                                         static_cast<uint32_t>(r.ticks[i - 1].number("pos")));
  return static_cast<float>(r.ticks[i - 1].clock() + static_cast<float>(step / 1500.0) / 2.0);
}

const std::vector<std::string> kChain{"Party_chargement_anim",  "Party_chargement_anim2", "Party_chargement_anim4",
                                      "Party_chargement_anim5", "Party_chargement_anim3", "Party_chargement_anim6"};
// The clock each builder's caller passes (the first is built on tick 0).
const std::map<std::string, float> kSwitchAt{{"Party_chargement_anim2", 7600.0f},
                                             {"Party_chargement_anim4", 2000.0f},
                                             {"Party_chargement_anim5", 1370.0f},
                                             {"Party_chargement_anim3", 2500.0f},
                                             {"Party_chargement_anim6", 1480.0f}};

std::vector<std::pair<std::string, size_t>> builders(const ShowRun& r) {
  std::vector<std::pair<std::string, size_t>> out;
  for (size_t i = 0; i < r.ticks.size(); ++i) {
    const std::string b = r.ticks[i]["built"];
    for (const std::string& name : kChain) {
      if (b.find("\"" + name + "\"") != std::string::npos) out.emplace_back(name, i);
    }
  }
  return out;
}

void expect_whole_chain(const ShowRun& r) {
  ASSERT_EQ(r.status, 0);
  ASSERT_GT(r.ticks.size(), 20u);
  const auto built = builders(r);
  std::vector<std::string> names;
  for (const auto& [name, tick] : built) names.push_back(name);
  ASSERT_EQ(names, kChain);
  EXPECT_EQ(built[0].second, 0u);
  for (size_t k = 1; k < built.size(); ++k) {
    const auto& [name, tick] = built[k];
    SCOPED_TRACE(name);
    ASSERT_GT(tick, built[k - 1].second);
    // Built on the first tick whose clock passes the switch value.
    EXPECT_LE(r.ticks[tick - 1].clock(), kSwitchAt.at(name));
    EXPECT_GT(clock_seen(r, tick), kSwitchAt.at(name));
  }
  // The explosion's step first runs on the tick after its build.
  const size_t explosion = built[4].second;
  EXPECT_EQ(r.ticks[explosion]["ran"], "[6]");
  EXPECT_EQ(r.ticks[explosion]["flags"], "[3]");
  EXPECT_EQ(r.ticks[explosion + 1]["ran"], "[4]");
  // The finale's step runs in its build's tick.
  EXPECT_EQ(r.ticks[built[5].second]["ran"], "[4,7]");

  // The close: the first finale tick past 864, and the last tick run.
  const Tick& last = r.ticks.back();
  EXPECT_EQ(last["close"], "true");
  EXPECT_GT(last.clock(), 864.0f);
  EXPECT_LE(r.ticks[r.ticks.size() - 2].clock(), 864.0f);
  for (size_t i = 0; i + 1 < r.ticks.size(); ++i) ASSERT_FALSE(r.ticks[i].has("close")) << i;
  EXPECT_EQ(last["flags"], "[6]");

  // The fade: from 700 on, fondu grows every tick and the ramp in force
  // (the trace gives it when it changes) is the finale's saved contrast
  // ramp darkened by fondu * 800, down to black at the close.
  int faded = 0;
  double fondu_before = -1;
  std::vector<double> red;
  for (size_t i = 0; i < r.ticks.size(); ++i) {
    const Tick& t = r.ticks[i];
    if (t.has("gamma")) red = t.gamma("r");
    if (i <= built[5].second) continue;
    if (!(t.clock() > 700.0f)) {
      EXPECT_EQ(t.number("fondu"), 0) << i;
      continue;
    }
    ++faded;
    const double fondu = t.number("fondu");
    EXPECT_GT(fondu, fondu_before) << i;
    fondu_before = fondu;
    ASSERT_EQ(red.size(), 256u);
    EXPECT_EQ(red[255], std::max(0.0, 65535.0 - fondu * 800.0)) << i;
    EXPECT_EQ(red[0], 0.0) << i;
  }
  EXPECT_GE(faded, 2);
  for (double v : red) EXPECT_EQ(v, 0.0);
}

TEST(WholeShow, GeneratedShowPlaysTheChainToTheClose) {
  if (!fs::exists(kShowDir / "sik_test.mp3")) GTEST_SKIP() << "no show folder built at " << kShowDir;
  // Half a second of music a tick keeps the run short; the switch ticks are
  // checked against the clock each tick saw, whatever the tick length.
  const ShowRun r = play(kShowDir, 500);
  expect_whole_chain(r);
  EXPECT_EQ(r.err, "");

  // Half a minute a tick, as after a window hidden or a machine asleep that
  // long: longer than the forest edge, the explosion and the finale. Every
  // scene is still built once, in order, and the show closes.
  const ShowRun big = play(kShowDir, 30000);
  ASSERT_EQ(big.status, 0);
  std::vector<std::string> names;
  for (const auto& [name, tick] : builders(big)) names.push_back(name);
  EXPECT_EQ(names, kChain);
  ASSERT_FALSE(big.ticks.empty());
  EXPECT_EQ(big.ticks.back()["close"], "true");
  EXPECT_EQ(big.err, "");
}

// Ways a show file can be damaged.
enum class Damage { Garbled, CutInHalf, Emptied, Removed };

struct DamagedShow {
  const char* what;
  std::map<std::string, Damage> files;  // all the others as built
  bool garble_the_rest;                 // every other file but the music garbled
  std::vector<std::string> said_once;   // names each on exactly one line of the errors
  int damaged_after_tick = -1;          // damaged while the show plays, after this tick; -1: before it starts
};

const DamagedShow kDamagedShows[] = {
    {"every file", {}, true, {"00000009.dat", "arbre1.bmp", "fire.BMP", "00000012.dat", "explo.BMP"}},
    // Intact models load the same textures many times, and through two loaders.
    {"pictures only",
     {{"arbre1.bmp", Damage::CutInHalf}, {"fire.BMP", Damage::Emptied}, {"introsi.bmp", Damage::Removed}},
     false,
     {"arbre1.bmp", "fire.BMP", "introsi.bmp"}},
    // A later scene's model deleted and its picture replaced by a damaged
    // one once the show plays, before anything reads them.
    {"while the show plays",
     {{"00000005.dat", Damage::Removed}, {"explo.BMP", Damage::CutInHalf}},
     false,
     {"00000005.dat", "explo.BMP"},
     0},
};

// Each damaged file says what is wrong once, however often the show loads
// it and through whichever loader, and the chain still runs to the close.
TEST(WholeShow, DamagedFilesAreSaidOnceEachAndTheChainRunsOn) {
  if (!fs::exists(kShowDir / "sik_test.mp3")) GTEST_SKIP() << "no show folder built at " << kShowDir;
  for (const DamagedShow& c : kDamagedShows) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    // Replaces the folder's link to the built file by the damaged file.
    auto damage = [&](const fs::path& built, Damage how) {
      const fs::path name = built.filename();
      const std::string bytes = read_text_file(built);
      fs::remove(dir.path() / name);
      switch (how) {
        case Damage::Garbled: std::ofstream(dir.path() / name, std::ios::binary) << "not what the name says"; break;
        case Damage::CutInHalf: std::ofstream(dir.path() / name, std::ios::binary) << bytes.substr(0, bytes.size() / 2); break;
        case Damage::Emptied: std::ofstream(dir.path() / name, std::ios::binary); break;
        case Damage::Removed: break;
      }
    };
    for (const auto& entry : fs::directory_iterator(kShowDir)) {
      const std::string name = entry.path().filename().string();
      if (!entry.is_regular_file()) continue;
      fs::create_symlink(entry.path(), dir.path() / name);
      const auto listed = c.files.find(name);
      const bool garbled = name != "sik_test.mp3" && c.garble_the_rest;
      if (listed != c.files.end() && c.damaged_after_tick < 0) damage(entry.path(), listed->second);
      if (listed == c.files.end() && garbled) damage(entry.path(), Damage::Garbled);
    }
    int damaged_at = -1;
    const ShowRun r = play(dir.path(), 2000, [&](int tick, const quarvel::display::DisplayControl&) {
      if (tick == c.damaged_after_tick) {
        for (const auto& [name, how] : c.files) damage(kShowDir / name, how);
        damaged_at = tick;
      }
      return true;
    });
    EXPECT_EQ(damaged_at, c.damaged_after_tick);
    expect_whole_chain(r);
    for (const std::string& name : c.said_once) {
      size_t lines = 0;
      std::istringstream in(r.err);
      for (std::string l; std::getline(in, l);) lines += l.find(name) != std::string::npos;
      EXPECT_EQ(lines, 1u) << name << "\n" << r.err;
    }
  }
}

}  // namespace
