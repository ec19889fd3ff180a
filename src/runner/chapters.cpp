#include "runner/chapters.h"

#include "runner/run_options.h"

namespace quarvel::runner {
namespace {

constexpr const char* kNames[kChapters] = {"opening", "forest", "edge", "model", "explosion", "finale"};

}  // namespace

const char* chapter_name(int chapter) { return chapter >= 1 && chapter <= kChapters ? kNames[chapter - 1] : ""; }

bool parse_chapter(const std::string& text, int& chapter, std::string& error) {
  for (int k = 1; k <= kChapters; ++k) {
    if (text == kNames[k - 1]) {
      chapter = k;
      return true;
    }
  }
  if (!text.empty() && text[0] >= '0' && text[0] <= '9') return parse_int_in("--scene", text, 1, kChapters, chapter, error);
  error = "--scene: not a scene: " + text + " (opening, forest, edge, model, explosion, finale or 1 to 6)";
  return false;
}

}  // namespace quarvel::runner
