#include "platform/render/gpu_cache.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quarvel::render {

namespace {

// What the look buffer holds per vertex.
struct LookVertex {
  float uv[2];
  uint32_t color;
};

// Frames an entry may stay unused before it is dropped, and how often
// (in frames) the cache looks for such entries.
constexpr uint64_t kUnusedFrames = 120, kEvictEvery = 64;

}  // namespace

GpuCache::~GpuCache() {
  if (probe_.vao) release(probe_);
  for (auto& [id, m] : meshes_) release(m);
  for (auto& [id, t] : textures_) glDeleteTextures(1, &t.tex);
}

void GpuCache::release(Mesh& g) {
  glDeleteVertexArrays(1, &g.vao);
  glDeleteBuffers(1, &g.vbo);
  glDeleteBuffers(1, &g.look);
  glDeleteBuffers(1, &g.ebo);
}

GLuint GpuCache::texture(const rm::Texture& t) {
  Texture& g = textures_[t.id()];
  g.last_used = frame_;
  if (g.tex && g.revision == t.revision()) return g.tex;
  if (!g.tex) glGenTextures(1, &g.tex);
  glBindTexture(GL_TEXTURE_2D, g.tex);
  const Picture& p = t.picture();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (p.empty() || p.pixels.size() < static_cast<size_t>(p.width) * p.height) {
    uint32_t white = 0xFFFFFFFF;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &white);
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, p.width, p.height, 0, GL_BGRA, GL_UNSIGNED_BYTE, p.pixels.data());
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  g.revision = t.revision();
  g.mipmapped = false;
  ++uploads_.texture;
  return g.tex;
}

GLuint GpuCache::bind_texture(const rm::Texture& t, GLint filter) {
  glBindTexture(GL_TEXTURE_2D, texture(t));
  Texture& g = textures_[t.id()];
  if (smooth_) {
    smooth_filter(g);
    return g.tex;
  }
  if (g.filter == filter) return g.tex;
  if (g.filter == kSmoothFilter && max_anisotropy_ >= 1) glTexParameterf(GL_TEXTURE_2D, 0x84FE, 1.0f);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  g.filter = filter;
  return g.tex;
}

void GpuCache::smooth_filter(Texture& g) {
  if (!g.mipmapped) {
    glGenerateMipmap(GL_TEXTURE_2D);
    g.mipmapped = true;
  }
  if (g.filter == kSmoothFilter) return;
  // The anisotropic filter's names (GL 4.6 and the extensions agree on them).
  constexpr GLenum kMaxAnisotropy = 0x84FE, kMaxAnisotropyLimit = 0x84FF;
  if (max_anisotropy_ < 0) {
    GLfloat most = 0;
    glGetFloatv(kMaxAnisotropyLimit, &most);
    while (glGetError() != GL_NO_ERROR) most = 0;  // not offered
    max_anisotropy_ = most;
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  if (max_anisotropy_ >= 1) glTexParameterf(GL_TEXTURE_2D, kMaxAnisotropy, std::min(16.0f, max_anisotropy_));
  g.filter = kSmoothFilter;
}

void GpuCache::upload_look(Mesh& g, const rm::TriangleBuffer& tb) {
  std::vector<LookVertex> look(tb.vertices.size());
  for (size_t i = 0; i < look.size(); ++i) {
    look[i].uv[0] = tb.vertices[i].uv[0];
    look[i].uv[1] = tb.vertices[i].uv[1];
    look[i].color = tb.vertices[i].color;
  }
  glBindBuffer(GL_ARRAY_BUFFER, g.look);
  glBufferData(GL_ARRAY_BUFFER, look.size() * sizeof(LookVertex), look.data(), GL_DYNAMIC_DRAW);
}

const GpuCache::Mesh& GpuCache::mesh(const rm::DrawItem& item) {
  const rm::TriangleBuffer& tb = *item.triangles;
  const bool flat = tb.flat;
  Mesh& g = meshes_[item.mesh_id];
  g.last_used = frame_;
  if (g.vao && g.shape_revision == item.shape_revision && g.flat == flat) {
    if (g.revision != item.revision) {
      upload_look(g, tb);
      g.revision = item.revision;
      ++uploads_.look;
    }
    return g;
  }
  if (!g.vao) {
    glGenVertexArrays(1, &g.vao);
    glGenBuffers(1, &g.vbo);
    glGenBuffers(1, &g.look);
    glGenBuffers(1, &g.ebo);
    glBindVertexArray(g.vao);
    set_layout(g);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.ebo);
  }
  glBindVertexArray(g.vao);
  glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
  glBufferData(GL_ARRAY_BUFFER, tb.vertices.size() * sizeof(rm::RenderVertex), tb.vertices.data(), GL_STATIC_DRAW);
  upload_look(g, tb);
  // Triangle indices, then edge indices.
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, (tb.indices.size() + tb.edges.size()) * sizeof(uint32_t), nullptr,
               GL_STATIC_DRAW);
  glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, tb.indices.size() * sizeof(uint32_t), tb.indices.data());
  glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, tb.indices.size() * sizeof(uint32_t), tb.edges.size() * sizeof(uint32_t),
                  tb.edges.data());
  g.shape_revision = item.shape_revision;
  g.revision = item.revision;
  g.flat = flat;
  ++uploads_.geometry;
  return g;
}

void GpuCache::set_layout(const Mesh& g) {
  glBindBuffer(GL_ARRAY_BUFFER, g.vbo);
  const GLsizei stride = sizeof(rm::RenderVertex);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, (void*)offsetof(rm::RenderVertex, position));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, (void*)offsetof(rm::RenderVertex, normal));
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(2, 3, GL_FLOAT, GL_FALSE, stride, (void*)offsetof(rm::RenderVertex, face_normal));
  glBindBuffer(GL_ARRAY_BUFFER, g.look);
  const GLsizei look_stride = sizeof(LookVertex);
  glEnableVertexAttribArray(3);
  glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, look_stride, (void*)offsetof(LookVertex, uv));
  glEnableVertexAttribArray(4);
  glVertexAttribPointer(4, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, look_stride, (void*)offsetof(LookVertex, color));
}

GLuint GpuCache::probe_vao() {
  if (probe_.vao) return probe_.vao;
  glGenVertexArrays(1, &probe_.vao);
  glGenBuffers(1, &probe_.vbo);
  glGenBuffers(1, &probe_.look);
  glBindVertexArray(probe_.vao);
  const rm::RenderVertex vertices[3]{};
  const LookVertex look[3]{};
  glBindBuffer(GL_ARRAY_BUFFER, probe_.vbo);
  glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, probe_.look);
  glBufferData(GL_ARRAY_BUFFER, sizeof look, look, GL_STATIC_DRAW);
  set_layout(probe_);
  glBindVertexArray(0);
  return probe_.vao;
}

void GpuCache::evict() {
  if (frame_ % kEvictEvery != 0) return;
  for (auto it = meshes_.begin(); it != meshes_.end();) {
    if (frame_ - it->second.last_used > kUnusedFrames) {
      release(it->second);
      it = meshes_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = textures_.begin(); it != textures_.end();) {
    if (frame_ - it->second.last_used > kUnusedFrames) {
      glDeleteTextures(1, &it->second.tex);
      it = textures_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace quarvel::render
