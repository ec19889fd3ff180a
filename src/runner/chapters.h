#pragma once
// The show's scenes as chapters a run can start at or jump to: opening,
// forest, edge, model, explosion, finale (1 to 6, in the chain's order).
// A chapter is reached once its builder has run; its first tick is the
// tick after that one, the first that plays the scene whole.
#include <string>

namespace quarvel::scene {
struct Show;
}

namespace quarvel::runner {

inline constexpr int kChapters = 6;

// The chapter's name ("opening" ... "finale"); "" outside 1..6.
const char* chapter_name(int chapter);

// A chapter by name or number; false with "--scene: ..." in `error`.
bool parse_chapter(const std::string& text, int& chapter, std::string& error);

// The chapter the show plays now (from its step flags): 1..6, 0 before the
// opening is built.
int current_chapter(const scene::Show& s);

}  // namespace quarvel::runner
