#pragma once
// Base objects of the scene graph: every object is held by counted references
// (std::shared_ptr). A caller's table entry holds one reference, the graph its
// own (a frame holds its children, visuals and lights), so an object lives as
// long as anyone refers to it. Parents are not owned by their children.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/common/picture.h"
#include "platform/retained/math3d.h"

namespace quarvel::rm {

// A process-wide, never reused number identifying an object (cache key of the
// render back end).
uint64_t next_object_id();

class Object {
 public:
  Object() : id_(next_object_id()) {}
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object() = default;

  uint64_t id() const { return id_; }
  const std::string& name() const { return name_; }
  void set_name(std::string name) { name_ = std::move(name); }

 private:
  uint64_t id_;
  std::string name_;
};

// Anything a frame can show: a mesh builder, a mesh, or another frame.
class Visual : public Object {};

// A picture used as a texture or a background. The revision changes whenever
// the pixels do, so the back end knows when to upload it again.
// Textures read from the same file share one decoded picture, which none of
// them changes: a texture given new pixels gets a picture of its own.
class Texture : public Object {
 public:
  explicit Texture(Picture picture) : picture_(std::make_shared<const Picture>(std::move(picture))) {}
  explicit Texture(std::shared_ptr<const Picture> picture)
      : picture_(picture ? std::move(picture) : std::make_shared<const Picture>()) {}
  const Picture& picture() const { return *picture_; }
  // The picture as shared with other textures of the same file.
  const std::shared_ptr<const Picture>& shared_picture() const { return picture_; }
  void set_picture(Picture picture) {
    picture_ = std::make_shared<const Picture>(std::move(picture));
    ++revision_;
  }
  uint32_t revision() const { return revision_; }

 private:
  std::shared_ptr<const Picture> picture_;
  uint32_t revision_ = 1;
};

enum class LightType { Ambient = 0, Point = 1, Spot = 2, Directional = 3 };

// A light shines from the frames it is added to: position from the frame's
// origin, direction along the frame's +z. Colour components are kept as given
// (values above 1 brighten). Attenuation is 1 / (c + l d + q d^2); all three
// zero means no attenuation. Nothing lights points farther than the range.
class Light : public Object {
 public:
  Light(LightType type, float r, float g, float b) : type_(type), color_{r, g, b} {}

  LightType type() const { return type_; }
  void set_type(LightType t) { type_ = t; }
  Vec3 color() const { return color_; }
  void set_color_rgb(float r, float g, float b) { color_ = {r, g, b}; }
  void set_color(uint32_t argb) {
    color_ = {((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f};
  }
  float constant_attenuation() const { return constant_; }
  float linear_attenuation() const { return linear_; }
  float quadratic_attenuation() const { return quadratic_; }
  void set_constant_attenuation(float v) { constant_ = v; }
  void set_linear_attenuation(float v) { linear_ = v; }
  void set_quadratic_attenuation(float v) { quadratic_ = v; }
  float range() const { return range_; }
  void set_range(float r) { range_ = r; }
  // Spot cone half-angles in radians: full light inside the umbra, fading to
  // none at the penumbra.
  float umbra() const { return umbra_; }
  float penumbra() const { return penumbra_; }
  void set_umbra(float a) { umbra_ = a; }
  void set_penumbra(float a) { penumbra_ = a; }

 private:
  LightType type_;
  Vec3 color_;
  float constant_ = 1, linear_ = 0, quadratic_ = 0;
  float range_ = 256;
  float umbra_ = 0.4f, penumbra_ = 0.8f;
};

}  // namespace quarvel::rm
