// Music stream costs: decoding speed (CPU seconds per minute of music), the
// memory a decoded 4.5-minute track holds, how long opening a stream takes
// before its first position and level answers (and what it holds after ten
// seconds of play), and the output callback's cost per buffer.
//
//   cmake -S . -B build-audio -DQUARVEL_BENCH=ON
//   cmake --build build-audio -j2 --target bench_audio
//   build-audio/bin/bench_audio

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/audio/music_system.h"
#include "platform/audio/pcm_track.h"
#include "platform/audio/stream_player.h"
#include "platform/audio/track_buffer.h"

namespace {

using quarvel::audio::DecodeStatus;
using quarvel::audio::PcmTrack;
using quarvel::audio::TrackBuffer;

std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
  }
  return bytes;
}

// Length in bytes of the MPEG-1/2/2.5 Layer III frame whose header starts
// at p, or 0 when p holds no such header.
size_t layer3_frame_length(const uint8_t* p, size_t left, int& samples) {
  if (left < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return 0;
  const int version = (p[1] >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int layer = (p[1] >> 1) & 3;    // 1: Layer III
  const int bitrate_index = p[2] >> 4;
  const int rate_index = (p[2] >> 2) & 3;
  const int padding = (p[2] >> 1) & 1;
  if (version == 1 || layer != 1 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3) return 0;
  static const int mpeg1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const int mpeg2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const int rates[] = {44100, 48000, 32000};
  const bool v1 = version == 3;
  const int rate = rates[rate_index] / (v1 ? 1 : version == 2 ? 2 : 4);
  const int kbps = (v1 ? mpeg1 : mpeg2)[bitrate_index];
  samples = v1 ? 1152 : 576;
  return static_cast<size_t>((v1 ? 144 : 72) * kbps * 1000 / rate + padding);
}

// A track of at least `seconds`, made of the real test file's audio frames
// repeated (its tags and its encoder-information frame left out).
std::vector<uint8_t> long_mp3(double seconds) {
  const auto file = read_file(std::string(QUARVEL_TESTDATA_DIR) + "/audio/idle_tune.mp3");
  size_t start = 0;
  if (file.size() > 10 && file[0] == 'I' && file[1] == 'D' && file[2] == '3')
    start = 10 + ((file[6] & 0x7F) << 21 | (file[7] & 0x7F) << 14 | (file[8] & 0x7F) << 7 | (file[9] & 0x7F));
  std::vector<std::pair<size_t, size_t>> frames;
  int samples = 0;
  for (size_t at = start; at < file.size();) {
    size_t n = layer3_frame_length(file.data() + at, file.size() - at, samples);
    if (n == 0 || at + n > file.size()) break;
    const std::string head(file.begin() + at, file.begin() + at + std::min<size_t>(n, 64));
    if (frames.empty() && (head.find("Xing") != std::string::npos || head.find("Info") != std::string::npos)) {
      at += n;
      continue;
    }
    frames.emplace_back(at, n);
    at += n;
  }
  std::vector<uint8_t> out;
  if (frames.empty() || samples == 0) return out;
  const double frame_seconds = samples / 44100.0;
  double total = 0;
  while (total < seconds)
    for (auto [at, n] : frames) {
      out.insert(out.end(), file.begin() + at, file.begin() + at + n);
      total += frame_seconds;
      if (total >= seconds) break;
    }
  return out;
}

PcmTrack decoded_test_file() {
  PcmTrack t;
  std::string error;
  quarvel::audio::decode_mp3_file(std::string(QUARVEL_TESTDATA_DIR) + "/audio/idle_tune.mp3", t, error);
  return t;
}

double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

long resident_kib() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

void decode_benchmark(benchmark::State& state, const std::vector<uint8_t>& mp3) {
  double cpu = 0, music_minutes = 0, held_mb = 0, resident_mb = 0;
  for (auto _ : state) {
    const long before = resident_kib();
    const double c0 = cpu_seconds();
    PcmTrack track;
    std::string error;
    if (quarvel::audio::decode_mp3(mp3.data(), mp3.size(), track, error) != DecodeStatus::ok) {
      state.SkipWithError(error.c_str());
      return;
    }
    cpu += cpu_seconds() - c0;
    music_minutes += static_cast<double>(track.frames()) / track.rate / 60.0;
    held_mb = track.samples.capacity() * 2.0 / 1e6;
    // The allocator keeps freed memory for the next round: the first
    // round's growth is the one that counts.
    resident_mb = std::max(resident_mb, (resident_kib() - before) / 1024.0);
    benchmark::DoNotOptimize(track.samples.data());
  }
  state.counters["cpu_s_per_music_min"] = music_minutes > 0 ? cpu / music_minutes : 0;
  state.counters["music_min"] = music_minutes / static_cast<double>(state.iterations());
  state.counters["held_MB"] = held_mb;
  state.counters["resident_growth_MiB"] = resident_mb;
}

void BM_DecodeFourAndAHalfMinutes(benchmark::State& state) {
  static const auto mp3 = long_mp3(270.0);
  decode_benchmark(state, mp3);
}
BENCHMARK(BM_DecodeFourAndAHalfMinutes)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DecodeRealFile(benchmark::State& state) {
  static const auto mp3 = read_file(std::string(QUARVEL_TESTDATA_DIR) + "/audio/idle_tune.mp3");
  decode_benchmark(state, mp3);
}
BENCHMARK(BM_DecodeRealFile)->Unit(benchmark::kMillisecond);

// What the show's start-up waits for: opening a 4.5-minute track as a stream
// (read, checked, first sound decoded, the decoder started in the
// background) up to its first position and level answers; then ten seconds
// of play on a virtual clock, and the memory the stream holds by then.
void BM_OpenStreamToFirstLevel(benchmark::State& state) {
  static const std::string path = [] {
    const auto mp3 = long_mp3(270.0);
    const std::string p = (std::filesystem::temp_directory_path() / "quarvel_bench_long.mp3").string();
    if (std::FILE* f = std::fopen(p.c_str(), "wb")) {
      std::fwrite(mp3.data(), 1, mp3.size(), f);
      std::fclose(f);
    }
    return p;
  }();
  double resident_mb = 0;
  uint32_t answers = 0;
  for (auto _ : state) {
    quarvel::audio::MusicSystem music(quarvel::audio::Playback::virtual_clock);
    music.init(-1, 44100, 0, nullptr);
    const long before = resident_kib();
    const uint32_t h = music.open_stream(path);
    if (h == 0) {
      state.SkipWithError("cannot open the stream");
      return;
    }
    music.play_stream(h, false, true);
    answers += music.position(h) + music.level(h);
    state.PauseTiming();
    for (int tick = 0; tick < 600; ++tick) {
      music.advance_seconds(1.0 / 60);
      answers += music.level(h);
    }
    resident_mb = std::max(resident_mb, (resident_kib() - before) / 1024.0);
    music.free();
    state.ResumeTiming();
  }
  benchmark::DoNotOptimize(answers);
  state.counters["resident_growth_after_10s_MiB"] = resident_mb;
}
BENCHMARK(BM_OpenStreamToFirstLevel)->Unit(benchmark::kMillisecond)->Iterations(10);

// One output buffer of 1024 stereo frames (4096 bytes), the size the sound
// device is opened with.
void BM_CallbackPerBuffer(benchmark::State& state) {
  static const TrackBuffer track(decoded_test_file());
  quarvel::audio::StreamPlayer player(track);
  player.set_latency(2048);
  player.play(true);
  std::vector<uint8_t> buffer(1024 * track.frame_bytes());
  for (auto _ : state) {
    player.render(buffer.data(), buffer.size());
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * buffer.size()));
}
BENCHMARK(BM_CallbackPerBuffer);

// What the show asks each tick: position and level.
void BM_PositionAndLevelQuery(benchmark::State& state) {
  static const TrackBuffer track(decoded_test_file());
  quarvel::audio::StreamPlayer player(track);
  player.play(true);
  std::vector<uint8_t> buffer(1024 * track.frame_bytes());
  player.render(buffer.data(), buffer.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(player.position());
    benchmark::DoNotOptimize(player.level());
  }
}
BENCHMARK(BM_PositionAndLevelQuery);

}  // namespace

BENCHMARK_MAIN();
