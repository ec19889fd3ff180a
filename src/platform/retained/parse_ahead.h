#pragma once
// Model and picture files read and parsed ahead of the loads that need them,
// on a thread of its own, so that a load only builds objects from what is
// already parsed. The files are still read from where the load would read
// them, under the same limits, and a load gets exactly what it would have
// parsed itself: when a file's parse has not started yet, the load parses
// it at once on its own thread; when it is under way, the load waits for it.
//
// Reading ahead says nothing: a file that cannot be read or parsed here is
// simply not held, and the load that needs it reads it itself and reports
// what is wrong, at the moment it asks for it.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/common/picture.h"
#include "platform/retained/model_data.h"
#include "platform/retained/xfile/reader.h"

namespace quarvel::rm {

class ParseAhead {
 public:
  ParseAhead() = default;
  ~ParseAhead();
  ParseAhead(const ParseAhead&) = delete;
  ParseAhead& operator=(const ParseAhead&) = delete;

  // The files the coming loads need: `models` parsed under `limits` (and
  // the picture files their materials name, found as a load finds them),
  // then `pictures` decoded, in that order, on the background thread.
  // Files held from an earlier call and not named again are let go.
  void prepare(const std::vector<std::string>& models, const std::vector<std::string>& pictures,
               const xfile::Limits& limits = {});

  // The model data of `path` read under `limits`; null when the file was
  // not prepared (under those limits) or could not be read.
  std::shared_ptr<const Model> model(const std::string& path, const xfile::Limits& limits);
  // The decoded picture of `path`; null when it was not prepared or could
  // not be read.
  std::shared_ptr<const Picture> picture(const std::string& path);

  // Files held or still to parse.
  size_t held() const;

 private:
  struct Entry;
  void add(const std::string& path, bool is_model, const xfile::Limits& limits);
  // The entry of `path` once parsed (here, or by the thread); null when
  // the file was not prepared as that kind.
  std::shared_ptr<Entry> finished(const std::string& path, bool is_model);
  // Parses `e` with the lock released; its textures are queued after it.
  void parse(Entry& e, std::unique_lock<std::mutex>& lock);
  void run();

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, std::shared_ptr<Entry>> entries_;  // by where the file is
  std::deque<std::shared_ptr<Entry>> queue_;               // not started yet, in order
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace quarvel::rm
