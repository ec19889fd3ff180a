#pragma once
// Helpers shared by the model builders of every scene, and the builders
// themselves (one file per scene), which make_model picks from by number.
#include <functional>
#include <string>

#include "models.h"
#include "parts.h"

namespace quarvel::assets {

inline XFrame& add_child(XFrame& parent, const std::string& name, const Mat4& m) {
  return parent.child(name, m);
}

inline XFrame top(const std::string& name, const Mat4& m) {
  XFrame f;
  f.name = name;
  f.transform = m;
  return f;
}

template <typename F>
MeshData mesh_of(F build) {
  MeshData m;
  build(m);
  return m;
}

// A file holding one frame with one mesh.
inline XFile single_mesh_file(const std::string& frame, MeshData mesh) {
  XFile f;
  XFrame fr = top(frame, Mat4{});
  fr.mesh = std::move(mesh);
  f.frames.push_back(fr);
  return f;
}

// A file holding one camera frame moved along `pose` from 0 to `end`.
inline XFile camera_file(const std::string& frame, float end, float step, const std::function<Mat4(float)>& pose) {
  XFile f;
  f.frames.push_back(top(frame, pose(0)));
  XAnimationSet set;
  set.name = "x3ds_animset_0";
  set.animations.push_back(sampled_animation(frame, 0, end, step, pose));
  f.sets.push_back(set);
  return f;
}

XFile opening_ships_and_trucks();  // 00000000.dat
XFile opening_camera();            // 00000001.dat
XFile edge_scenery();              // 00000002.dat
XFile edge_camera();               // 00000003.dat
XFile model_engine();              // 00000004.dat
XFile model_camera();              // 00000005.dat
XFile finale_scenery();            // 00000006.dat
XFile finale_camera();             // 00000007.dat
XFile monument();                  // 00000008.dat
XFile tree();                      // 00000009.dat
XFile forest_ground();             // 00000010.dat
XFile birds();                     // 00000011.dat
XFile fireball();                  // 00000012.dat
XFile flame();                     // 00000013.dat
XFile sky_dome();                  // 00000014.dat
XFile station_model();             // 00000015.dat
XFile opening_ground();            // 00000016.dat

}  // namespace quarvel::assets
