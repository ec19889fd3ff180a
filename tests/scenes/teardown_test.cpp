// Taking scene groups out of the scene graph.
#include <gtest/gtest.h>

#include <algorithm>

#include "scenes/steps.h"
#include "show_fixture.h"

namespace quarvel {
namespace {

using scene::FrameRef;

class Teardown : public testing::ShowTest {
 protected:
  // A scene root under the scene frame, also one of its visuals.
  FrameRef make_root(int g) {
    FrameRef root = s.stage.root.create_frame(s.stage.scene);
    s.stage.scene->add_visual(root);
    s.scene_frame.at(g) = root;
    return root;
  }
  void set_all_flags() { s.chain.Party_actif.fill(true); }
  void expect_flags_cleared() { EXPECT_EQ(s.chain.Party_actif, scene::StepFlags{}); }
  bool child_of(const FrameRef& parent, const FrameRef& f) {
    const auto c = parent->children();
    return std::find(c.begin(), c.end(), f) != c.end();
  }
  bool visual_of_scene(const FrameRef& f) {
    const auto v = s.stage.scene->visuals();
    return std::find(v.begin(), v.end(), f) != v.end();
  }
};

TEST_F(Teardown, EmptyRootRemovesNothingAndStillResets) {
  FrameRef other = make_root(2);
  set_all_flags();
  s.chain.charge_pos = 98;
  scene::init(s, 1);
  scene::init(s, 1);  // a second jump: the root is already gone
  EXPECT_EQ(s.chain.charge_pos, 0);
  expect_flags_cleared();
  EXPECT_TRUE(child_of(s.stage.scene, other));
  EXPECT_EQ(s.scene_frame.get(2), other);
}

TEST_F(Teardown, ForestGroupLetsGoOfItsNamedFramesAndItsRoot) {
  FrameRef root = make_root(2);
  s.anim_frame.at(0) = s.stage.root.create_frame(root);
  for (int i : {0, 7, 20, 50}) s.objet_frame.at(i) = s.stage.root.create_frame(root);
  s.wrap_frame.at(0) = s.stage.root.create_frame(root);
  FrameRef unnamed = s.stage.root.create_frame(root);
  set_all_flags();

  scene::init(s, 2);
  EXPECT_TRUE(root->children() == std::vector<FrameRef>{unnamed});
  EXPECT_FALSE(child_of(s.stage.scene, root));
  EXPECT_TRUE(visual_of_scene(root));  // still drawn as a visual
  EXPECT_EQ(s.scene_frame.get(2), nullptr);
  EXPECT_NE(s.objet_frame.get(7), nullptr);  // tables keep their references
  expect_flags_cleared();
}

TEST_F(Teardown, NamedFramesOutsideTheGroupAreLeftAlone) {
  FrameRef other = make_root(4);
  s.anim_frame.at(0) = s.stage.root.create_frame(other);
  FrameRef root = make_root(3);
  for (int i : {10, 30, 40, 50}) s.objet_frame.at(i) = s.stage.root.create_frame(root);
  FrameRef kept = s.objet_frame.at(11) = s.stage.root.create_frame(root);

  scene::init(s, 3);
  EXPECT_TRUE(child_of(other, s.anim_frame.get(0)));
  EXPECT_TRUE(root->children() == std::vector<FrameRef>{kept});
  EXPECT_TRUE(child_of(s.stage.scene, other));
  EXPECT_FALSE(child_of(s.stage.scene, root));
}

TEST_F(Teardown, OpeningAndModelGroups) {
  FrameRef opening = make_root(1);
  s.anim_frame.at(1) = s.stage.root.create_frame(opening);
  s.anim_frame.at(0) = s.stage.root.create_frame(opening);
  scene::init(s, 1);
  EXPECT_TRUE(opening->children() == std::vector<FrameRef>{s.anim_frame.get(0)});
  EXPECT_FALSE(child_of(s.stage.scene, opening));

  FrameRef model = make_root(4);
  s.objet_frame.at(50) = s.stage.root.create_frame(model);
  FrameRef tree = s.stage.root.create_frame(model);
  scene::init(s, 4);
  EXPECT_TRUE(model->children() == std::vector<FrameRef>{tree});
  EXPECT_FALSE(child_of(s.stage.scene, model));
}

TEST_F(Teardown, OtherGroupsOnlyEmptyTheirEntryAndClearFlags) {
  FrameRef root = make_root(7);
  set_all_flags();
  scene::init(s, 7);
  EXPECT_TRUE(child_of(s.stage.scene, root));
  EXPECT_EQ(s.scene_frame.get(7), nullptr);
  expect_flags_cleared();
  scene::init(s, 99);  // beyond the table: nothing to do
  scene::init(s, -1);
  expect_flags_cleared();
}

}  // namespace
}  // namespace quarvel
