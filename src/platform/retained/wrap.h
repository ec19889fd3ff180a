#pragma once
// Texture wraps: compute the texture coordinates of a mesh's vertices.
//
// The wrap has an origin o, a direction d (its z axis) and an up vector (its
// y axis, made orthogonal to d); its x axis is up x d. Coordinates are
//   flat:    u = ou + su * ((p - o) . x),  v = ov + sv * ((p - o) . y)
//            (projection onto the plane through o perpendicular to d)
//   chrome:  with n the vertex normal seen from the reference frame,
//            u = ou + su * (0.5 + 0.5 n.x),  v = ov + sv * (0.5 - 0.5 n.y)
// Positions are taken in the mesh's own coordinates, or in the reference
// frame's when a reference and the mesh's frame are given (apply_relative).
//
// When up is zero or parallel to the direction (the show passes direction and
// up both (0, 1, 0)), the wrap takes as up the first of the axes z, x, y (of
// the wrap's coordinates) that is least parallel to d, so the projection is
// still onto the plane perpendicular to d: for d = (0, 1, 0), up is z and the
// x axis is -x, so u follows -x and v follows z.
#include <memory>

#include "platform/retained/frame.h"
#include "platform/retained/mesh.h"

namespace quarvel::rm {

enum class WrapType { Flat = 0, Cylinder = 1, Sphere = 2, Chrome = 3 };

class Wrap : public Object {
 public:
  struct Params {
    WrapType type = WrapType::Flat;
    Vec3 origin{0, 0, 0};
    Vec3 direction{0, 0, 1};
    Vec3 up{0, 1, 0};
    float ou = 0, ov = 0, su = 1, sv = 1;
  };
  Wrap(std::shared_ptr<Frame> reference, const Params& p) : reference_(std::move(reference)), p_(p) {}

  const Params& params() const { return p_; }
  std::shared_ptr<Frame> reference() const { return reference_; }

  // Sets the texture coordinates of every vertex of `mesh`.
  bool apply(MeshBase& mesh) const;
  // The same, with the mesh placed by `frame` and positions and normals seen
  // from the reference frame (when one is set).
  bool apply_relative(const Frame& frame, MeshBase& mesh) const;

  // The wrap's axes (unit, orthogonal) after the parallel-up rule above.
  void axes(Vec3& x, Vec3& y, Vec3& z) const;

 private:
  bool apply_with(const Mat4& to_wrap_space, MeshBase& mesh) const;

  std::shared_ptr<Frame> reference_;
  Params p_;
};

}  // namespace quarvel::rm
