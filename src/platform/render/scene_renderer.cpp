#include "platform/render/scene_renderer.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/render/gl_util.h"

namespace quarvel::render {

namespace {

const char* kVertexSrc = R"(#version 330 core
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec3 aFaceNormal;
layout(location = 3) in vec2 aUv;
layout(location = 4) in vec4 aColor;
uniform mat4 uModel;
uniform mat4 uView;
uniform mat4 uProj;
uniform mat3 uNormalMat;
uniform int uLit;
uniform int uFlat;
uniform int uLightCount;
uniform vec4 uLightPos[48];    // xyz world position, w type
uniform vec4 uLightDir[48];    // xyz world direction, w range
uniform vec4 uLightColor[48];  // rgb colour, w cosine of the umbra
uniform vec4 uLightAtt[48];    // constant, linear, quadratic, cosine of the penumbra
uniform vec2 uFog;             // start, end
out vec4 vColor;
flat out vec4 vFlatColor;
out vec2 vUv;
out float vFog;

vec3 lighting(vec3 P, vec3 N) {
  vec3 sum = vec3(0.0);
  for (int i = 0; i < uLightCount; ++i) {
    int type = int(uLightPos[i].w + 0.5);
    vec3 c = uLightColor[i].rgb;
    if (type == 0) { sum += c; continue; }
    if (type == 3) { sum += c * max(dot(N, -uLightDir[i].xyz), 0.0); continue; }
    vec3 L = uLightPos[i].xyz - P;
    float d = length(L);
    if (d > uLightDir[i].w) continue;
    L = d > 0.0 ? L / d : -uLightDir[i].xyz;
    vec3 a = uLightAtt[i].xyz;
    float att = 1.0;
    if (a != vec3(0.0)) att = 1.0 / max(a.x + a.y * d + a.z * d * d, 1e-6);
    float spot = 1.0;
    if (type == 2) {
      float ca = dot(-L, uLightDir[i].xyz);
      float cu = uLightColor[i].w, cp = uLightAtt[i].w;
      spot = ca >= cu ? 1.0 : (ca <= cp ? 0.0 : (ca - cp) / max(cu - cp, 1e-6));
    }
    sum += c * max(dot(N, L), 0.0) * att * spot;
  }
  return sum;
}

void main() {
  vec4 world = uModel * vec4(aPos, 1.0);
  vec4 eye = uView * world;
  gl_Position = uProj * eye;
  vec4 colour = aColor;
  if (uLit != 0) {
    vec3 n = uNormalMat * (uFlat != 0 ? aFaceNormal : aNormal);
    vec3 N = length(n) > 0.0 ? normalize(n) : vec3(0.0, 0.0, -1.0);
    colour.rgb = clamp(aColor.rgb * lighting(world.xyz, N), 0.0, 1.0);
  }
  vColor = colour;
  vFlatColor = colour;
  vUv = aUv;
  float span = uFog.y - uFog.x;
  vFog = span > 0.0 ? clamp((uFog.y - eye.z) / span, 0.0, 1.0) : (eye.z < uFog.x ? 1.0 : 0.0);
}
)";

const char* kFragmentSrc = R"(#version 330 core
in vec4 vColor;
flat in vec4 vFlatColor;
in vec2 vUv;
in float vFog;
uniform int uFlat;
uniform int uTextured;
uniform int uFogOn;
uniform vec3 uFogColor;
uniform sampler2D uTex;
out vec4 frag;
void main() {
  vec4 c = uFlat != 0 ? vFlatColor : vColor;
  if (uTextured != 0) c *= texture(uTex, vUv);
  if (uFogOn != 0) c.rgb = mix(uFogColor, c.rgb, vFog);
  frag = c;
}
)";

const char* kBackgroundVertexSrc = R"(#version 330 core
out vec2 vUv;
void main() {
  vec2 p = vec2((gl_VertexID & 1) != 0 ? 1.0 : -1.0, (gl_VertexID & 2) != 0 ? 1.0 : -1.0);
  vUv = vec2(p.x * 0.5 + 0.5, 0.5 - p.y * 0.5);
  gl_Position = vec4(p, 0.0, 1.0);
}
)";

const char* kBackgroundFragmentSrc = R"(#version 330 core
in vec2 vUv;
uniform sampler2D uTex;
out vec4 frag;
void main() { frag = vec4(texture(uTex, vUv).rgb, 1.0); }
)";

void set_floats4(GLint loc, const std::vector<float>& v) {
  if (loc >= 0 && !v.empty()) glUniform4fv(loc, static_cast<GLsizei>(v.size() / 4), v.data());
}

}  // namespace

struct SceneRenderer::Uniforms {
  GLint model, view, proj, normal_mat, lit, flat, light_count, light_pos, light_dir, light_color, light_att, fog;
  GLint textured, fog_on, fog_color, tex;
  GLint bg_tex;
};

SceneRenderer::SceneRenderer(BackSurface& target) : SceneRenderer(static_cast<Picture*>(nullptr)) {
  surface_ = &target;
  width_ = target.width();
  height_ = target.height();
  fbo_ = target.framebuffer();
}

SceneRenderer::SceneRenderer(Picture& target) : SceneRenderer(&target) { ensure_target_size(); }

SceneRenderer::SceneRenderer(Picture* mirror) : mirror_(mirror), u_(std::make_unique<Uniforms>()) {
  std::string error;
  program_ = compile_program(kVertexSrc, kFragmentSrc, &error);
  if (!program_) throw std::runtime_error("scene renderer: " + error);
  bg_program_ = compile_program(kBackgroundVertexSrc, kBackgroundFragmentSrc, &error);
  if (!bg_program_) throw std::runtime_error("scene renderer background: " + error);
  auto loc = [&](const char* n) { return glGetUniformLocation(program_, n); };
  *u_ = Uniforms{loc("uModel"),      loc("uView"),      loc("uProj"),        loc("uNormalMat"), loc("uLit"),
                 loc("uFlat"),       loc("uLightCount"), loc("uLightPos"),   loc("uLightDir"),  loc("uLightColor"),
                 loc("uLightAtt"),   loc("uFog"),       loc("uTextured"),    loc("uFogOn"),     loc("uFogColor"),
                 loc("uTex"),        glGetUniformLocation(bg_program_, "uTex")};
  glGenVertexArrays(1, &empty_vao_);
}

SceneRenderer::~SceneRenderer() {
  for (auto& [id, m] : meshes_) {
    glDeleteVertexArrays(1, &m.vao);
    glDeleteBuffers(1, &m.vbo);
    glDeleteBuffers(1, &m.look);
    glDeleteBuffers(1, &m.ebo);
  }
  for (auto& [id, t] : textures_) glDeleteTextures(1, &t.tex);
  glDeleteVertexArrays(1, &empty_vao_);
  glDeleteProgram(program_);
  glDeleteProgram(bg_program_);
}

void SceneRenderer::set_target(Picture& target) {
  mirror_ = &target;
  pending_clear_ = false;
  ensure_target_size();
}

void SceneRenderer::ensure_target_size() {
  if (!mirror_) return;
  const int w = std::max(mirror_->width, 1), h = std::max(mirror_->height, 1);
  if (own_surface_ && w == width_ && h == height_) return;
  own_surface_.reset();
  own_surface_ = std::make_unique<BackSurface>(w, h);
  surface_ = own_surface_.get();
  width_ = w;
  height_ = h;
  fbo_ = surface_->framebuffer();
}

bool SceneRenderer::clip(const rm::Rect& r, rm::Rect& out) const {
  int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
  int x1 = std::min(r.x + r.width, width_), y1 = std::min(r.y + r.height, height_);
  if (x1 <= x0 || y1 <= y0) return false;
  out = {x0, y0, x1 - x0, y1 - y0};
  return true;
}

void SceneRenderer::set_viewport(const rm::Rect& r) {
  glViewport(r.x, height_ - (r.y + r.height), r.width, r.height);
}

void SceneRenderer::read_back(const rm::Rect& c) {
  if (!mirror_) return;
  std::vector<uint32_t> rows(static_cast<size_t>(c.width) * c.height);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(c.x, height_ - (c.y + c.height), c.width, c.height, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
  for (int r = 0; r < c.height; ++r) {
    const uint32_t* src = &rows[static_cast<size_t>(c.height - 1 - r) * c.width];
    uint32_t* dst = &mirror_->pixels[static_cast<size_t>(c.y + r) * mirror_->width + c.x];
    for (int x = 0; x < c.width; ++x) dst[x] = src[x] | 0xFF000000u;
  }
}

GLuint SceneRenderer::texture(const rm::Texture& t) {
  GpuTexture& g = textures_[t.id()];
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
  ++stats_.texture_uploads;
  return g.tex;
}

namespace {

// What the look buffer holds per vertex.
struct LookVertex {
  float uv[2];
  uint32_t color;
};

}  // namespace

void SceneRenderer::upload_look(GpuMesh& g, const rm::TriangleBuffer& tb) {
  std::vector<LookVertex> look(tb.vertices.size());
  for (size_t i = 0; i < look.size(); ++i) {
    look[i].uv[0] = tb.vertices[i].uv[0];
    look[i].uv[1] = tb.vertices[i].uv[1];
    look[i].color = tb.vertices[i].color;
  }
  glBindBuffer(GL_ARRAY_BUFFER, g.look);
  glBufferData(GL_ARRAY_BUFFER, look.size() * sizeof(LookVertex), look.data(), GL_DYNAMIC_DRAW);
}

const SceneRenderer::GpuMesh& SceneRenderer::mesh(const rm::MeshBase& m, bool flat) {
  GpuMesh& g = meshes_[m.id()];
  g.last_used = frame_;
  if (g.vao && g.shape_revision == m.shape_revision() && g.flat == flat) {
    if (g.revision != m.revision()) {
      upload_look(g, m.triangles(flat));
      g.revision = m.revision();
      ++stats_.look_uploads;
    }
    return g;
  }
  const rm::TriangleBuffer& tb = m.triangles(flat);
  if (!g.vao) {
    glGenVertexArrays(1, &g.vao);
    glGenBuffers(1, &g.vbo);
    glGenBuffers(1, &g.look);
    glGenBuffers(1, &g.ebo);
    glBindVertexArray(g.vao);
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
  g.shape_revision = m.shape_revision();
  g.revision = m.revision();
  g.flat = flat;
  ++stats_.geometry_uploads;
  return g;
}

void SceneRenderer::clear(const rm::Rect& rect, const rm::Texture* background, uint32_t color) {
  ensure_target_size();
  rm::Rect c;
  if (!clip(rect, c)) return;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glEnable(GL_SCISSOR_TEST);
  glScissor(c.x, height_ - (c.y + c.height), c.width, c.height);
  glClearColor(((color >> 16) & 255) / 255.0f, ((color >> 8) & 255) / 255.0f, (color & 255) / 255.0f, 1.0f);
  glDepthMask(GL_TRUE);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  if (background) {
    set_viewport(rect);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glUseProgram(bg_program_);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture(*background));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glUniform1i(u_->bg_tex, 0);
    glBindVertexArray(empty_vao_);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  }
  glDisable(GL_SCISSOR_TEST);
  if (pending_clear_ && (pending_rect_.x != c.x || pending_rect_.y != c.y || pending_rect_.width != c.width ||
                        pending_rect_.height != c.height))
    read_back(pending_rect_);
  pending_clear_ = true;
  pending_rect_ = c;
}

void SceneRenderer::draw(const rm::RenderList& list) {
  ensure_target_size();
  ++frame_;
  stats_.culled += list.culled;
  rm::Rect c;
  if (!clip(list.rect, c)) return;
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glEnable(GL_SCISSOR_TEST);
  glScissor(c.x, height_ - (c.y + c.height), c.width, c.height);
  bool cleared = pending_clear_ && pending_rect_.x <= c.x && pending_rect_.y <= c.y &&
                 pending_rect_.x + pending_rect_.width >= c.x + c.width &&
                 pending_rect_.y + pending_rect_.height >= c.y + c.height;
  if (!cleared) {
    if (mirror_) {
      // Start from what the picture holds now.
      std::vector<uint32_t> rows(static_cast<size_t>(c.width) * c.height);
      for (int r = 0; r < c.height; ++r)
        std::copy_n(&mirror_->pixels[static_cast<size_t>(c.y + r) * mirror_->width + c.x], c.width,
                    &rows[static_cast<size_t>(c.height - 1 - r) * c.width]);
      glBindTexture(GL_TEXTURE_2D, surface_->colour_texture());
      glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
      glTexSubImage2D(GL_TEXTURE_2D, 0, c.x, height_ - (c.y + c.height), c.width, c.height, GL_BGRA,
                      GL_UNSIGNED_BYTE, rows.data());
    }
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
  }

  set_viewport(list.rect);
  glUseProgram(program_);
  glUniformMatrix4fv(u_->view, 1, GL_TRUE, &list.view.m[0][0]);
  glUniformMatrix4fv(u_->proj, 1, GL_TRUE, &list.projection.m[0][0]);

  int n = std::min<int>(static_cast<int>(list.lights.size()), kMaxLights);
  std::vector<float> pos, dir, col, att;
  for (int i = 0; i < n; ++i) {
    const rm::RenderLight& l = list.lights[i];
    float range = l.range > 0 ? l.range : 0;
    pos.insert(pos.end(), {l.position.x, l.position.y, l.position.z, float(static_cast<int>(l.type))});
    dir.insert(dir.end(), {l.direction.x, l.direction.y, l.direction.z, range});
    col.insert(col.end(), {l.color.x, l.color.y, l.color.z, std::cos(l.umbra)});
    att.insert(att.end(), {l.constant, l.linear, l.quadratic, std::cos(l.penumbra)});
  }
  glUniform1i(u_->light_count, n);
  set_floats4(u_->light_pos, pos);
  set_floats4(u_->light_dir, dir);
  set_floats4(u_->light_color, col);
  set_floats4(u_->light_att, att);
  glUniform1i(u_->fog_on, list.fog.enabled ? 1 : 0);
  glUniform2f(u_->fog, list.fog.start, list.fog.end);
  uint32_t fc = list.fog.color;
  glUniform3f(u_->fog_color, ((fc >> 16) & 255) / 255.0f, ((fc >> 8) & 255) / 255.0f, (fc & 255) / 255.0f);
  glUniform1i(u_->tex, 0);
  glActiveTexture(GL_TEXTURE0);

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  const GLint filter = list.texture_quality == rm::TextureQuality::Linear ? GL_LINEAR : GL_NEAREST;

  auto draw_item = [&](const rm::DrawItem& item, bool blended_pass) {
    const rm::MeshBase& m = *item.mesh;
    uint32_t q = item.quality;
    const bool flat_shade = rm::quality::flat(q);
    const rm::TriangleBuffer& tb = m.triangles(flat_shade);
    bool has_blended = !tb.batches.empty() && tb.batches.back().transparent;
    const GpuMesh& g = mesh(m, flat_shade);
    glBindVertexArray(g.vao);
    glUniformMatrix4fv(u_->model, 1, GL_TRUE, &item.world.m[0][0]);
    rm::Mat4 inv = item.world.inverse();
    float nm[9] = {inv.m[0][0], inv.m[0][1], inv.m[0][2], inv.m[1][0], inv.m[1][1],
                   inv.m[1][2], inv.m[2][0], inv.m[2][1], inv.m[2][2]};
    glUniformMatrix3fv(u_->normal_mat, 1, GL_FALSE, nm);
    glUniform1i(u_->lit, rm::quality::lit(q) ? 1 : 0);
    glUniform1i(u_->flat, flat_shade ? 1 : 0);
    bool solid = rm::quality::solid(q), wire = rm::quality::wireframe(q);
    for (const rm::RenderBatch& b : tb.batches) {
      if (b.transparent != blended_pass || b.count == 0) continue;
      if (b.texture) {
        glBindTexture(GL_TEXTURE_2D, texture(*b.texture));
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
      }
      glUniform1i(u_->textured, b.texture ? 1 : 0);
      if (solid) {
        glEnable(GL_CULL_FACE);
        if (wire) {
          glEnable(GL_POLYGON_OFFSET_FILL);
          glPolygonOffset(1.0f, 1.0f);
        }
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(b.count), GL_UNSIGNED_INT,
                       reinterpret_cast<void*>(size_t{b.first} * sizeof(uint32_t)));
        glDisable(GL_POLYGON_OFFSET_FILL);
        ++stats_.draw_calls;
      } else if (!wire) {
        glDrawElements(GL_POINTS, static_cast<GLsizei>(b.count), GL_UNSIGNED_INT,
                       reinterpret_cast<void*>(size_t{b.first} * sizeof(uint32_t)));
        ++stats_.draw_calls;
      }
    }
    if (wire && has_blended == blended_pass && !tb.edges.empty()) {
      glDisable(GL_CULL_FACE);
      glUniform1i(u_->textured, 0);
      glDrawElements(GL_LINES, static_cast<GLsizei>(tb.edges.size()), GL_UNSIGNED_INT,
                     reinterpret_cast<void*>(tb.indices.size() * sizeof(uint32_t)));
      ++stats_.draw_calls;
    }
  };

  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  for (const rm::DrawItem& item : list.items)
    if (item.mesh) draw_item(item, false);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthMask(GL_FALSE);
  for (size_t i : list.blended_order)
    if (i < list.items.size() && list.items[i].mesh) draw_item(list.items[i], true);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_SCISSOR_TEST);
  glBindVertexArray(0);

  read_back(c);
  if (pending_clear_ && (pending_rect_.x != c.x || pending_rect_.y != c.y || pending_rect_.width != c.width ||
                        pending_rect_.height != c.height))
    read_back(pending_rect_);
  pending_clear_ = false;
  evict();
}

void SceneRenderer::update() {
  if (pending_clear_) read_back(pending_rect_);
  pending_clear_ = false;
}

void SceneRenderer::evict() {
  if (frame_ % 64 != 0) return;
  for (auto it = meshes_.begin(); it != meshes_.end();) {
    if (frame_ - it->second.last_used > 120) {
      glDeleteVertexArrays(1, &it->second.vao);
      glDeleteBuffers(1, &it->second.vbo);
      glDeleteBuffers(1, &it->second.look);
      glDeleteBuffers(1, &it->second.ebo);
      it = meshes_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = textures_.begin(); it != textures_.end();) {
    if (frame_ - it->second.last_used > 120) {
      glDeleteTextures(1, &it->second.tex);
      it = textures_.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace quarvel::render
