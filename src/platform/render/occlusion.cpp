#include "platform/render/occlusion.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/render/gl_util.h"

namespace quarvel::render {

namespace {

// The box's corners from its minimum and maximum, with the same matrix
// products as the scene program, so that depths compare alike.
const char* kBoxVertex = R"(#version 330 core
layout(location = 0) in vec3 aCorner;  // 0 or 1 on each axis
uniform mat4 uModel;
uniform mat4 uView;
uniform mat4 uProj;
uniform vec3 uMin;
uniform vec3 uMax;
void main() {
  vec4 world = uModel * vec4(mix(uMin, uMax, aCorner), 1.0);
  vec4 eye = uView * world;
  gl_Position = uProj * eye;
}
)";

const char* kBoxFragment = R"(#version 330 core
out vec4 frag;
void main() { frag = vec4(0.0); }
)";

// How much each box grows on every side, as a share of its largest extent
// (so that no pixel centre of the item falls on the box's outline), and the
// polygon offset that brings its faces a few depth steps nearer (so that
// rounding cannot put a face behind the item's own surface).
constexpr float kGrow = 0.01f;
constexpr GLfloat kOffsetFactor = -1.0f, kOffsetUnits = -8.0f;

// `b` grown on every side by kGrow of its largest extent.
rm::Box grown(const rm::Box& b) {
  const float g = kGrow * std::max({b.max.x - b.min.x, b.max.y - b.min.y, b.max.z - b.min.z});
  return {{b.min.x - g, b.min.y - g, b.min.z - g}, {b.max.x + g, b.max.y + g, b.max.z + g}};
}

// Whether `m` turns space inside out (its 3 x 3 part has a negative
// determinant).
bool mirrors(const rm::Mat4& m) {
  const auto& a = m.m;
  return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
             a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]) <
         0;
}

}  // namespace

OcclusionTester::OcclusionTester() {
  std::string error;
  program_ = compile_program(kBoxVertex, kBoxFragment, &error);
  if (!program_) throw std::runtime_error("occlusion tester: " + error);
  auto loc = [&](const char* n) { return glGetUniformLocation(program_, n); };
  u_model_ = loc("uModel");
  u_view_ = loc("uView");
  u_proj_ = loc("uProj");
  u_min_ = loc("uMin");
  u_max_ = loc("uMax");
  const float corners[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0},
                               {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
  // Two triangles a side, turned so that (b - a) x (c - a) points out of
  // the box, as the front of a mesh's face does: the box's back faces are
  // culled as a mesh's are.
  GLubyte sides[36] = {0, 1, 3, 0, 3, 2, 4, 5, 7, 4, 7, 6, 0, 1, 5, 0, 5, 4,
                       2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 3, 7, 1, 7, 5};
  for (int t = 0; t < 36; t += 3) {
    const float* a = corners[sides[t]];
    const float* b = corners[sides[t + 1]];
    const float* c = corners[sides[t + 2]];
    const rm::Vec3 ab{b[0] - a[0], b[1] - a[1], b[2] - a[2]}, ac{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const rm::Vec3 out{a[0] + b[0] + c[0] - 1.5f, a[1] + b[1] + c[1] - 1.5f, a[2] + b[2] + c[2] - 1.5f};
    if (dot(cross(ab, ac), out) < 0) std::swap(sides[t + 1], sides[t + 2]);
  }
  glGenVertexArrays(1, &vao_);
  glGenBuffers(1, &vbo_);
  glGenBuffers(1, &ebo_);
  glBindVertexArray(vao_);
  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  glBufferData(GL_ARRAY_BUFFER, sizeof(corners), corners, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo_);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof(sides), sides, GL_STATIC_DRAW);
  glBindVertexArray(0);
}

OcclusionTester::~OcclusionTester() {
  if (!queries_.empty()) glDeleteQueries(static_cast<GLsizei>(queries_.size()), queries_.data());
  glDeleteBuffers(1, &ebo_);
  glDeleteBuffers(1, &vbo_);
  glDeleteVertexArrays(1, &vao_);
  glDeleteProgram(program_);
}

bool OcclusionTester::testable(const rm::RenderList& list, const rm::DrawItem& item, const rm::Box& box) {
  const rm::Mat4 model_view = list.view * item.world;
  const rm::Box b = grown(box);
  for (int i = 0; i < 8; ++i) {
    const rm::Vec3 p{(i & 1) ? b.max.x : b.min.x, (i & 2) ? b.max.y : b.min.y, (i & 4) ? b.max.z : b.min.z};
    if (model_view.transform_point(p).z <= list.front) return false;
  }
  return true;
}

std::vector<bool> OcclusionTester::visible(const rm::RenderList& list, const std::vector<const rm::DrawItem*>& items,
                                           const std::vector<rm::Box>& boxes) {
  if (queries_.size() < items.size()) {
    const size_t had = queries_.size();
    queries_.resize(items.size());
    glGenQueries(static_cast<GLsizei>(items.size() - had), queries_.data() + had);
  }
  glUseProgram(program_);
  glUniformMatrix4fv(u_view_, 1, GL_TRUE, &list.view.m[0][0]);
  glUniformMatrix4fv(u_proj_, 1, GL_TRUE, &list.projection.m[0][0]);
  glBindVertexArray(vao_);
  glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
  glDepthMask(GL_FALSE);
  // The camera is outside every box tested (it lies beyond the front
  // plane), so its front faces cover all of it on the screen, nearer than
  // its back faces: those are left out, at half the raster work. A mirrored
  // item turns the box inside out; its box is drawn both ways round.
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(kOffsetFactor, kOffsetUnits);
  for (size_t i = 0; i < items.size(); ++i) {
    if (mirrors(list.view * items[i]->world))
      glDisable(GL_CULL_FACE);
    else
      glEnable(GL_CULL_FACE);
    const rm::Box b = grown(boxes[i]);
    glUniformMatrix4fv(u_model_, 1, GL_TRUE, &items[i]->world.m[0][0]);
    glUniform3f(u_min_, b.min.x, b.min.y, b.min.z);
    glUniform3f(u_max_, b.max.x, b.max.y, b.max.z);
    glBeginQuery(GL_ANY_SAMPLES_PASSED, queries_[i]);
    glDrawElements(GL_TRIANGLES, 36, GL_UNSIGNED_BYTE, nullptr);
    glEndQuery(GL_ANY_SAMPLES_PASSED);
  }
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDisable(GL_CULL_FACE);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  std::vector<bool> out(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    GLuint passed = 1;
    glGetQueryObjectuiv(queries_[i], GL_QUERY_RESULT, &passed);
    out[i] = passed != 0;
  }
  return out;
}

}  // namespace quarvel::render
