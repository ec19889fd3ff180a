// Model file reading speed: parse throughput (MB/s) of the text and binary
// files of the test corpus, and the time to load a folder of model files
// (the show's 000000NN.dat by default; read and parsed, then also built
// into the scene graph with their textures). Where assimp's development headers
// are present, its importer is timed on the same data in the same run and
// the ratio is printed (assimp time / our time).
//
//   bench_xfile [FOLDER] [benchmark options]     or QUARVEL_BENCH_MODELS=FOLDER
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/retained/x_loader.h"
#include "platform/retained/xfile/reader.h"

#if __has_include(<assimp/cimport.h>) && __has_include(<dlfcn.h>)
#include <assimp/cimport.h>
#include <dlfcn.h>
#define QUARVEL_BENCH_ASSIMP 1
#endif

namespace fs = std::filesystem;

namespace {

struct File {
  std::string path;
  std::string data;
};

std::vector<File> g_text, g_binary, g_folder;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Well-formed corpus files, by encoding (the malformed folder is left out).
void collect_corpus() {
  std::string dir = std::string(QUARVEL_TESTDATA_DIR) + "/x";
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    std::string p = it->path().string();
    if (!it->is_regular_file() || p.find("/malformed/") != std::string::npos) continue;
    std::string data = slurp(p);
    if (data.size() < 16 || data.compare(0, 4, "xof ") != 0) continue;
    if (data.compare(8, 4, "txt ") == 0) g_text.push_back({p, data});
    if (data.compare(8, 4, "bin ") == 0) g_binary.push_back({p, data});
  }
}

void collect_folder(const std::string& folder) {
  std::error_code ec;
  std::vector<std::string> names;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    bool show_file = name.rfind("000000", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".dat";
    if (it->is_regular_file() && (show_file || folder != QUARVEL_SHOW_DIR)) names.push_back(it->path().string());
  }
  std::sort(names.begin(), names.end());
  for (const auto& n : names) {
    std::string data = slurp(n);
    if (data.compare(0, 4, "xof ") == 0) g_folder.push_back({n, data});
  }
}

size_t total_bytes(const std::vector<File>& files) {
  size_t n = 0;
  for (const auto& f : files) n += f.data.size();
  return n;
}

void parse_all(benchmark::State& state, const std::vector<File>& files) {
  if (files.empty()) {
    state.SkipWithError("no files");
    return;
  }
  for (auto _ : state) {
    for (const auto& f : files) {
      quarvel::xfile::Model m;
      std::string error;
      bool ok = quarvel::xfile::read_memory(f.data.data(), f.data.size(), f.path, m, error);
      benchmark::DoNotOptimize(ok);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total_bytes(files)));
}

void BM_ParseText(benchmark::State& state) { parse_all(state, g_text); }
void BM_ParseBinary(benchmark::State& state) { parse_all(state, g_binary); }

// Reading and parsing each file from disk.
void BM_ReadFolder(benchmark::State& state) {
  if (g_folder.empty()) {
    state.SkipWithError("no model files in the folder");
    return;
  }
  for (auto _ : state) {
    for (const auto& f : g_folder) {
      quarvel::xfile::Model m;
      std::string error;
      benchmark::DoNotOptimize(quarvel::xfile::read_file(f.path, m, error));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total_bytes(g_folder)));
}

// Reading each file from disk and building its frames, meshes and
// animations in the scene graph, textures included.
void BM_LoadFolder(benchmark::State& state) {
  if (g_folder.empty()) {
    state.SkipWithError("no model files in the folder");
    return;
  }
  for (auto _ : state) {
    for (const auto& f : g_folder) {
      auto parent = std::make_shared<quarvel::rm::Frame>();
      quarvel::rm::AnimationSet set;
      std::string error;
      benchmark::DoNotOptimize(quarvel::rm::load_animation_set(set, f.path, parent, error));
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total_bytes(g_folder)));
}

#ifdef QUARVEL_BENCH_ASSIMP
// Loaded at run time so the benchmark builds without linking assimp.
using ImportFn = const aiScene* (*)(const char*, unsigned int, unsigned int, const char*);
using ImportFileFn = const aiScene* (*)(const char*, unsigned int);
using ReleaseFn = void (*)(const aiScene*);
ImportFn g_import = nullptr;
ImportFileFn g_import_file = nullptr;
ReleaseFn g_release = nullptr;

bool open_assimp() {
  void* lib = dlopen("libassimp.so.5", RTLD_NOW);
  if (!lib) lib = dlopen("libassimp.so", RTLD_NOW);
  if (!lib) return false;
  g_import = reinterpret_cast<ImportFn>(dlsym(lib, "aiImportFileFromMemory"));
  g_import_file = reinterpret_cast<ImportFileFn>(dlsym(lib, "aiImportFile"));
  g_release = reinterpret_cast<ReleaseFn>(dlsym(lib, "aiReleaseImport"));
  return g_import && g_import_file && g_release;
}

void assimp_all(benchmark::State& state, const std::vector<File>& files) {
  if (files.empty()) {
    state.SkipWithError("no files");
    return;
  }
  for (auto _ : state) {
    for (const auto& f : files) {
      const aiScene* s = g_import(f.data.data(), static_cast<unsigned>(f.data.size()), 0, "x");
      benchmark::DoNotOptimize(s);
      if (s) g_release(s);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total_bytes(files)));
}

void BM_AssimpParseText(benchmark::State& state) { assimp_all(state, g_text); }
void BM_AssimpParseBinary(benchmark::State& state) { assimp_all(state, g_binary); }
void BM_AssimpReadFolder(benchmark::State& state) {
  if (g_folder.empty()) {
    state.SkipWithError("no model files in the folder");
    return;
  }
  for (auto _ : state) {
    for (const auto& f : g_folder) {
      const aiScene* s = g_import_file(f.path.c_str(), 0);
      benchmark::DoNotOptimize(s);
      if (s) g_release(s);
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(total_bytes(g_folder)));
}
#endif

// Console output plus the processor time per iteration of each benchmark, for
// the ratios (processor time, so other work on the machine matters less).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs)
      if (!r.error_occurred && r.run_type == Run::RT_Iteration) times[r.benchmark_name()] = r.GetAdjustedCPUTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  if (const char* env = std::getenv("QUARVEL_BENCH_MODELS")) folder = env;
  // A first argument that is not an option names the folder of model files.
  if (argc > 1 && argv[1][0] != '-') {
    folder = argv[1];
    for (int i = 1; i + 1 < argc; ++i) argv[i] = argv[i + 1];
    --argc;
  }
  collect_corpus();
  if (folder.empty()) {
    collect_folder(QUARVEL_SHOW_DIR);
    if (g_folder.empty()) {
      // No show files built yet: the corpus stands in for them.
      g_folder = g_text;
      g_folder.insert(g_folder.end(), g_binary.begin(), g_binary.end());
      folder = std::string(QUARVEL_TESTDATA_DIR) + "/x (no show files found)";
    } else {
      folder = QUARVEL_SHOW_DIR;
    }
  } else {
    collect_folder(folder);
  }
  std::printf("text corpus: %zu files, %.2f MB; binary corpus: %zu files, %.2f MB\n", g_text.size(),
              total_bytes(g_text) / 1e6, g_binary.size(), total_bytes(g_binary) / 1e6);
  std::printf("model folder: %s: %zu files, %.2f MB\n", folder.c_str(), g_folder.size(), total_bytes(g_folder) / 1e6);

  benchmark::RegisterBenchmark("BM_ParseText", BM_ParseText)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_ParseBinary", BM_ParseBinary)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_ReadFolder", BM_ReadFolder)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BM_LoadFolder", BM_LoadFolder)->Unit(benchmark::kMillisecond);
  bool with_assimp = false;
#ifdef QUARVEL_BENCH_ASSIMP
  with_assimp = open_assimp();
  if (with_assimp) {
    benchmark::RegisterBenchmark("BM_AssimpParseText", BM_AssimpParseText)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_AssimpParseBinary", BM_AssimpParseBinary)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_AssimpReadFolder", BM_AssimpReadFolder)->Unit(benchmark::kMillisecond);
  } else {
    std::printf("assimp headers found but libassimp could not be opened: no comparison\n");
  }
#endif
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  if (with_assimp) {
    for (const char* what : {"ParseText", "ParseBinary", "ReadFolder"}) {
      auto ours = reporter.times.find(std::string("BM_") + what);
      auto theirs = reporter.times.find(std::string("BM_Assimp") + what);
      if (ours != reporter.times.end() && theirs != reporter.times.end() && ours->second > 0)
        std::printf("%s: assimp takes %.2f times as long as ours\n", what, theirs->second / ours->second);
    }
  } else {
    std::printf("assimp not available: no comparison\n");
  }
  benchmark::Shutdown();
  return 0;
}
