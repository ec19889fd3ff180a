#include "timedemo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "runner/trace.h"

namespace quarvel::capture {
namespace {

double rank(const std::vector<double>& sorted, double fraction) {
  if (sorted.empty()) return 0;
  const auto n = static_cast<double>(sorted.size());
  const auto i = static_cast<size_t>(std::max(1.0, std::ceil(fraction * n))) - 1;
  return sorted[std::min(i, sorted.size() - 1)];
}

std::string fixed(double v, int digits) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.*f", digits, std::isfinite(v) ? v : 0.0);
  return buf;
}

std::string times_json(const FrameTimes& t) {
  return "\"frames\": " + std::to_string(t.frames) + ", \"mean_fps\": " + fixed(t.mean_fps, 2) +
         ", \"median_ms\": " + fixed(t.median_ms, 3) + ", \"p95_ms\": " + fixed(t.p95_ms, 3) +
         ", \"p99_ms\": " + fixed(t.p99_ms, 3) + ", \"worst_ms\": " + fixed(t.worst_ms, 3) +
         ", \"render_ms\": " + fixed(t.render_ms, 3) + ", \"other_ms\": " + fixed(t.other_ms, 3);
}

std::string times_text(const FrameTimes& t) {
  char buf[160];
  std::snprintf(buf, sizeof buf,
                "%7lld frames %9.1f fps   median %7.2f  95%% %7.2f  99%% %7.2f  worst %7.2f ms"
                "   cpu: render %6.2f  other %6.2f ms",
                t.frames, t.mean_fps, t.median_ms, t.p95_ms, t.p99_ms, t.worst_ms, t.render_ms, t.other_ms);
  return buf;
}

// The processor time means of `ticks` into `t`.
void add_cpu(FrameTimes& t, const std::vector<const TickInfo*>& ticks) {
  if (ticks.empty()) return;
  double render = 0, all = 0;
  for (const TickInfo* k : ticks) {
    render += k->render_cpu_seconds;
    all += k->cpu_seconds;
  }
  const auto n = static_cast<double>(ticks.size());
  t.render_ms = render / n * 1000;
  t.other_ms = (all - render) / n * 1000;
}

TimedemoReport::Slow slow_entry(const TickInfo& t) {
  return {t.tick, t.horloge, step_name(t.step), t.seconds * 1000};
}

std::string slow_json(const std::vector<TimedemoReport::Slow>& list) {
  std::string out;
  for (size_t i = 0; i < list.size(); ++i) {
    const auto& s = list[i];
    out += (i ? ", " : "") + std::string("{\"tick\": ") + std::to_string(s.tick) + ", \"clock\": " +
           runner::json_float(s.clock) + ", \"scene\": \"" + s.scene + "\", \"ms\": " + fixed(s.ms, 3) + "}";
  }
  return out;
}

std::string slow_text(const std::vector<TimedemoReport::Slow>& list) {
  std::string out;
  for (const auto& s : list) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "  tick %7d  clock %10.3f  %-10s %8.2f ms\n", s.tick, static_cast<double>(s.clock),
                  s.scene.c_str(), s.ms);
    out += buf;
  }
  return out;
}

}  // namespace

FrameTimes frame_times(std::vector<double> seconds) {
  FrameTimes t;
  t.frames = static_cast<long long>(seconds.size());
  if (seconds.empty()) return t;
  std::sort(seconds.begin(), seconds.end());
  double sum = 0;
  for (double s : seconds) sum += s;
  t.mean_fps = sum > 0 ? static_cast<double>(seconds.size()) / sum : 0;
  t.median_ms = rank(seconds, 0.5) * 1000;
  t.p95_ms = rank(seconds, 0.95) * 1000;
  t.p99_ms = rank(seconds, 0.99) * 1000;
  t.worst_ms = seconds.back() * 1000;
  return t;
}

void Timedemo::add(const TickInfo& t) { ticks_.push_back(t); }

TimedemoReport Timedemo::report(double wall_seconds) const {
  TimedemoReport r;
  r.frames = static_cast<long long>(ticks_.size());
  r.wall_seconds = wall_seconds;
  r.mean_fps = wall_seconds > 0 ? static_cast<double>(r.frames) / wall_seconds : 0;
  std::vector<double> all;
  std::vector<const TickInfo*> all_ticks;
  std::vector<std::string> order;
  std::map<std::string, std::vector<double>> by_scene;
  std::map<std::string, std::vector<const TickInfo*>> ticks_by_scene;
  for (size_t i = 0; i < ticks_.size(); ++i) {
    const TickInfo& t = ticks_[i];
    all.push_back(t.seconds);
    all_ticks.push_back(&t);
    const std::string name = step_name(t.step);
    if (!by_scene.count(name)) {
      order.push_back(name);
      if (i > 0) {
        // The slowest tick around the change.
        const size_t from = i >= TimedemoReport::kChangeBefore ? i - TimedemoReport::kChangeBefore : 0;
        const size_t to = std::min(ticks_.size(), i + TimedemoReport::kChangeAfter + 1);
        const auto worst = std::max_element(ticks_.begin() + static_cast<long>(from), ticks_.begin() + static_cast<long>(to),
                                            [](const TickInfo& a, const TickInfo& b) { return a.seconds < b.seconds; });
        r.changes.push_back(slow_entry(*worst));
        r.changes.back().scene = name;
      }
    }
    by_scene[name].push_back(t.seconds);
    ticks_by_scene[name].push_back(&t);
  }
  r.overall = frame_times(all);
  add_cpu(r.overall, all_ticks);
  for (const auto& name : order) {
    r.scenes.emplace_back(name, frame_times(by_scene[name]));
    add_cpu(r.scenes.back().second, ticks_by_scene[name]);
  }
  std::vector<const TickInfo*> slow;
  for (const auto& t : ticks_) slow.push_back(&t);
  const size_t n = std::min<size_t>(5, slow.size());
  std::partial_sort(slow.begin(), slow.begin() + static_cast<long>(n), slow.end(), [](auto* a, auto* b) {
    return a->seconds > b->seconds || (a->seconds == b->seconds && a->tick < b->tick);
  });
  for (size_t i = 0; i < n; ++i) r.slowest.push_back(slow_entry(*slow[i]));
  return r;
}

std::string timedemo_text(const TimedemoReport& r) {
  std::string out = "timedemo: " + std::to_string(r.frames) + " frames in " + fixed(r.wall_seconds, 2) +
                    " s wall, " + fixed(r.mean_fps, 1) + " frames a second\n";
  out += "  overall      " + times_text(r.overall) + "\n";
  for (const auto& [name, t] : r.scenes) {
    char label[32];
    std::snprintf(label, sizeof label, "  %-12s ", name.c_str());
    out += label + times_text(t) + "\n";
  }
  out += "slowest ticks:\n" + slow_text(r.slowest);
  if (!r.changes.empty()) out += "slowest tick at each change of scene (named by the new scene):\n" + slow_text(r.changes);
  return out;
}

std::string timedemo_json(const TimedemoReport& r) {
  std::string out = "{\"frames\": " + std::to_string(r.frames) + ", \"wall_seconds\": " + fixed(r.wall_seconds, 3) +
                    ", \"mean_fps\": " + fixed(r.mean_fps, 2) + ", \"overall\": {" + times_json(r.overall) +
                    "}, \"scenes\": [";
  for (size_t i = 0; i < r.scenes.size(); ++i) {
    out += (i ? ", " : "") + std::string("{\"scene\": \"") + r.scenes[i].first + "\", " +
           times_json(r.scenes[i].second) + "}";
  }
  out += "], \"slowest\": [" + slow_json(r.slowest) + "], \"changes\": [" + slow_json(r.changes) + "]}\n";
  return out;
}

}  // namespace quarvel::capture
