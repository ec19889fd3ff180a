// Taking a scene group out of the scene graph before the next one is built.
#include <initializer_list>

#include "scenes/steps.h"

namespace quarvel::scene {

namespace {

// The frames a group's root lets go of by name before the root itself is
// detached (detaching the root takes everything below it along).
void remove_named_children(Show& s, rm::Frame& root, int32_t g) {
  const auto remove = [&root](const FrameRef& child) {
    if (child) root.delete_child(child.get());
  };
  const auto remove_objects = [&](int32_t from, int32_t to) {
    for (int32_t i = from; i <= to; ++i) remove(s.objet_frame.get(i));
  };
  switch (g) {
    case kOpeningGroup:
      remove(s.anim_frame.get(1));
      break;
    case kForestFlightGroup:
      remove(s.anim_frame.get(0));
      remove_objects(0, 20);
      remove(s.objet_frame.get(50));
      remove(s.wrap_frame.get(0));
      break;
    case kExplosionGroup:
      remove(s.anim_frame.get(0));
      remove(s.objet_frame.get(10));
      remove_objects(30, 50);
      break;
    case kEdgeGroup:
      remove(s.objet_frame.get(50));
      break;
    default:
      break;
  }
}

}  // namespace

void init(Show& s, int32_t g) {
  s.chain.charge_pos = 0;
  // A group already taken down (a second jump to the same scene) has no root
  // left: nothing to remove.
  if (auto root = s.scene_frame.get(g); root && g >= kOpeningGroup && g <= kEdgeGroup) {
    remove_named_children(s, *root, g);
    s.stage.scene->delete_child(root.get());
  }
  s.scene_frame.at(g).reset();
  s.chain.Party_actif.fill(false);
}

}  // namespace quarvel::scene
