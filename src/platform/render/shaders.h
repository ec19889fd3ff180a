#pragma once
// The GLSL programs of the scene renderer and the uniforms they take.
//
// The scene program exists in one combination per set of switches (lit,
// flat, textured, fogged), each compiled when first asked for; the
// background program fills a viewport with a texture stretched over it.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/render/gl.h"
#include "platform/retained/viewport.h"

namespace quarvel::render {

// The switches of a scene program, one bit each: LIT (vertex lighting),
// FLAT (one colour per face, from the face normal when lit), TEXTURED and
// FOG. A switch left out costs nothing: llvmpipe would otherwise run both
// sides of a branch on a uniform under a mask, texture fetch included.
constexpr unsigned kLit = 1, kFlat = 2, kTextured = 4, kFog = 8;

// The lights of a render list as the scene programs take them: ambient ones
// summed, then in the arrays the directional, point and spot ones.
struct LightUniforms {
  float ambient[3] = {0, 0, 0};
  GLint end[3] = {0, 0, 0};  // end of the directional, point and spot lights
  std::vector<float> pos, dir, color, att;

  // Packs the first `max` of `lights`.
  void pack(const std::vector<rm::RenderLight>& lights, int max);
};

// One compiled combination of the switches, with its uniform locations.
struct SceneProgram {
  GLuint id = 0;
  GLint model, view, proj, normal_mat, ambient, light_end, light_pos, light_dir, light_color, light_att, fog;
  GLint fog_color, tex;
  uint64_t list = 0;  // the render list whose camera, lights and fog it holds
  uint64_t item = 0;  // the item whose matrices it holds

  // Throws std::runtime_error with the compiler's log.
  explicit SceneProgram(unsigned variant);
  ~SceneProgram();
  SceneProgram(const SceneProgram&) = delete;
  SceneProgram& operator=(const SceneProgram&) = delete;

  // Sets the camera, lights and fog of `list` (the switches of `variant`
  // say which of them the program takes).
  void set_list(unsigned variant, const rm::RenderList& list, const LightUniforms& lights) const;
  // Sets the model and normal matrices of `item`.
  void set_item(unsigned variant, const rm::DrawItem& item) const;
};

// The scene programs, one per combination of the switches.
class ScenePrograms {
 public:
  static constexpr unsigned kCount = 16;  // combinations

  // Compiled when first asked for; throws as SceneProgram does.
  SceneProgram& get(unsigned variant);

 private:
  std::unique_ptr<SceneProgram> programs_[kCount];
};

// Fills the current viewport with the texture bound to unit 0.
class BackgroundProgram {
 public:
  // Throws std::runtime_error with the compiler's log.
  BackgroundProgram();
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  void draw() const;

 private:
  GLuint id_ = 0, empty_vao_ = 0;
  GLint tex_ = -1;
};

}  // namespace quarvel::render
