#include "platform/retained/parse_ahead.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "platform/common/picture_file.h"
#include "platform/retained/texture_files.h"
#include "platform/retained/x_loader.h"

namespace quarvel::rm {

struct ParseAhead::Entry {
  enum class State { Queued, Working, Done };
  std::string path;  // where the file is
  bool is_model = false;
  xfile::Limits limits;
  State state = State::Queued;
  std::shared_ptr<const Model> model;
  std::shared_ptr<const Picture> picture;
  std::vector<std::string> textures;  // the picture files the model's materials name
};

namespace {

bool same_limits(const xfile::Limits& a, const xfile::Limits& b) {
  return a.max_file_bytes == b.max_file_bytes && a.max_inflated_bytes == b.max_inflated_bytes &&
         a.max_model_bytes == b.max_model_bytes && a.max_depth == b.max_depth;
}

std::shared_ptr<const Model> parse_model(const std::string& path, const xfile::Limits& limits,
                                         std::vector<std::string>& textures) {
  xfile::Model parsed;
  std::string error;
  if (!xfile::read_file(path, parsed, error, limits)) return nullptr;
  auto data = std::make_shared<Model>(model_data(parsed));
  const std::string folder = std::filesystem::path(path).parent_path().string();
  for (const ModelMesh& mesh : data->meshes)
    for (const ModelMaterial& m : mesh.materials)
      if (!m.texture_file.empty())
        if (std::string file = find_texture_file(m.texture_file, folder); !file.empty()) textures.push_back(file);
  return data;
}

// A picture no larger than a model load could ever take.
std::shared_ptr<const Picture> parse_picture(const std::string& path, const xfile::Limits& limits) {
  std::vector<uint8_t> data;
  std::string error;
  PictureInfo info;
  if (!read_picture_file(path, data, error) || !probe_picture(data.data(), data.size(), info)) return nullptr;
  if (static_cast<size_t>(info.width) * static_cast<size_t>(info.height) > limits.max_model_bytes / sizeof(uint32_t))
    return nullptr;
  Picture decoded;
  if (!decode_picture(data.data(), data.size(), path, decoded, error)) return nullptr;
  return std::make_shared<const Picture>(std::move(decoded));
}

}  // namespace

ParseAhead::~ParseAhead() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void ParseAhead::add(const std::string& path, bool is_model, const xfile::Limits& limits) {
  const std::string where = TextureFiles::key(path);
  auto& entry = entries_[where];
  if (entry && entry->is_model == is_model && same_limits(entry->limits, limits)) return;
  entry = std::make_shared<Entry>();
  entry->path = where;  // read from there whatever the current folder is by then
  entry->is_model = is_model;
  entry->limits = limits;
  queue_.push_back(entry);
}

void ParseAhead::prepare(const std::vector<std::string>& models, const std::vector<std::string>& pictures,
                         const xfile::Limits& limits) {
  {
    std::lock_guard lock(mutex_);
    auto earlier = std::move(entries_);
    entries_.clear();
    queue_.clear();
    // What is held already and named again stays, with the pictures its
    // model named; the rest is let go.
    auto keep_or_add = [&](const std::string& path, bool is_model) {
      const std::string where = TextureFiles::key(path);
      auto it = earlier.find(where);
      if (it != earlier.end() && it->second->is_model == is_model && same_limits(it->second->limits, limits)) {
        entries_[where] = it->second;
        if (it->second->state == Entry::State::Queued) queue_.push_back(it->second);
        for (const std::string& t : it->second->textures) {
          auto kept = earlier.find(TextureFiles::key(t));
          if (kept != earlier.end()) entries_[kept->first] = kept->second;
        }
        return;
      }
      add(path, is_model, limits);
    };
    for (const std::string& m : models) keep_or_add(m, true);
    for (const std::string& p : pictures) keep_or_add(p, false);
#if !defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__)
    if (!worker_.joinable()) worker_ = std::thread([this] { run(); });
#endif
    // A page built without threads has no worker: what is prepared stays
    // queued, and each load parses its file itself when it asks for it.
  }
  changed_.notify_all();
}

void ParseAhead::parse(Entry& e, std::unique_lock<std::mutex>& lock) {
  e.state = Entry::State::Working;
  const xfile::Limits limits = e.limits;
  lock.unlock();
  std::vector<std::string> textures;
  std::shared_ptr<const Model> model = e.is_model ? parse_model(e.path, limits, textures) : nullptr;
  std::shared_ptr<const Picture> picture = e.is_model ? nullptr : parse_picture(e.path, limits);
  lock.lock();
  e.model = std::move(model);
  e.picture = std::move(picture);
  e.textures = std::move(textures);
  e.state = Entry::State::Done;
  // Still wanted: the pictures its materials name come next.
  auto it = entries_.find(TextureFiles::key(e.path));
  if (it != entries_.end() && it->second.get() == &e)
    for (const std::string& t : e.textures)
      if (!entries_.count(TextureFiles::key(t))) add(t, false, e.limits);
  changed_.notify_all();
}

std::shared_ptr<ParseAhead::Entry> ParseAhead::finished(const std::string& path, bool is_model) {
  std::unique_lock lock(mutex_);
  auto it = entries_.find(TextureFiles::key(path));
  if (it == entries_.end() || it->second->is_model != is_model) return nullptr;
  std::shared_ptr<Entry> e = it->second;
  if (e->state == Entry::State::Queued) {
    // Its turn has not come: parsed here and now rather than waiting for
    // the thread to get to it.
    queue_.erase(std::remove(queue_.begin(), queue_.end(), e), queue_.end());
    parse(*e, lock);
  }
  changed_.wait(lock, [&] { return e->state == Entry::State::Done; });
  return e;
}

std::shared_ptr<const Model> ParseAhead::model(const std::string& path, const xfile::Limits& limits) {
  {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(TextureFiles::key(path));
    if (it == entries_.end() || !same_limits(it->second->limits, limits)) return nullptr;
  }
  auto e = finished(path, true);
  return e ? e->model : nullptr;
}

std::shared_ptr<const Picture> ParseAhead::picture(const std::string& path) {
  auto e = finished(path, false);
  return e ? e->picture : nullptr;
}

size_t ParseAhead::held() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void ParseAhead::run() {
#ifdef __linux__
  // Reading ahead is background work: the frames being drawn meanwhile (the
  // main thread and the renderer's own threads) come first, so that a scene
  // change, which hands the thread the next scene's files, does not also
  // slow the first frames of the new scene. Linux gives each thread its own
  // niceness; failing that, the thread runs as it is.
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 19);
#endif
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    std::shared_ptr<Entry> e = queue_.front();
    queue_.pop_front();
    parse(*e, lock);
  }
}

}  // namespace quarvel::rm
