#include "platform/retained/xfile/model.h"

namespace quarvel::xfile {

const char* encoding_name(Encoding e) {
  switch (e) {
    case Encoding::Text: return "txt";
    case Encoding::Binary: return "bin";
    case Encoding::TextZip: return "tzip";
    case Encoding::BinaryZip: return "bzip";
  }
  return "txt";
}

namespace {
void walk(const Frame& f, int depth, std::vector<FrameRef>& out) {
  out.push_back({&f, depth});
  for (const Frame& c : f.children) walk(c, depth + 1, out);
}
}  // namespace

std::vector<FrameRef> flatten_frames(const Model& model) {
  std::vector<FrameRef> out;
  for (const Frame& f : model.frames) walk(f, 1, out);
  return out;
}

}  // namespace quarvel::xfile
