#pragma once
// Reusable pieces of the generated models: vehicles, trees, machine parts,
// and helpers that turn a pose function into animation keys.
#include <functional>
#include <string>

#include "geometry.h"
#include "xwriter.h"

namespace quarvel::assets {

Material colour(float r, float g, float b, const std::string& texture = "", float glow = 0.0f,
                float alpha = 1.0f);

float smoothstep01(float x);
// A plain colour for a model seen under the show's full light set (a white
// ambient light and eight white point lights, one of them moved in front of
// the later scenes, Light set) and its usual contrast window (24..145): 1 is
// the brightest a face can be made and still not clip to flat white when it
// faces the strongest mix of lights; a face turned away from most of them
// then comes out about a third as bright.
Material lit_colour(float r, float g, float b);
// Sum of the show's lights on a face with unit normal `n` in the later scenes
// (the ambient light counts 1).
float light_sum(Vec3 n);
// A band of dark hills on the horizon: an arc about `centre` (in the xz
// plane) from angle `from` to `to` (radians, measured from +x towards +z) at
// `radius`, from y = `base` up to a ragged crest between `low` and `high`
// that falls to `base` over the arc's first and last sixth, facing the centre.
void horizon_ridge(MeshData& m, Vec3 centre, float radius, float from, float to, float base, float low,
                   float high, uint32_t seed);


// Keys every `step` from t0 to t1 (the last one exactly at t1).
std::vector<float> key_times(float t0, float t1, float step);
// An animation of `frame` sampled from `pose` (the frame's matrix relative to
// its parent at a time).
XAnimation sampled_animation(const std::string& frame, float t0, float t1, float step,
                             const std::function<Mat4(float)>& pose, bool with_scale = false);

// Pose of something moving along `path`, nose (+z) along its direction of
// travel, banking into turns.
Mat4 pose_along(const std::function<Vec3(float)>& path, float t, float bank = 0.0f);

// Vehicles, nose towards +z, centred on the origin (before `m.xf`).
void fighter_mesh(MeshData& m, float length);
void gunship_mesh(MeshData& m, float length);
void transport_mesh(MeshData& m, float length);
void turret_mesh(MeshData& m, float size);
void truck_body_mesh(MeshData& m, bool with_wheels, bool with_cargo);
void cargo_box_mesh(MeshData& m);
// An axle along x with two wheels, centred on the origin; wheel radius 4.
void axle_mesh(MeshData& m);
// A fir tree about `height` high, base at y = 0; foliage and bark mapped to
// the tree texture's two parts.
void tree_mesh(MeshData& m, float height, const std::string& texture);

}  // namespace quarvel::assets
