#include "platform/render/scene_renderer.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/render/gl_util.h"

namespace quarvel::render {

namespace {

// The scene shaders, compiled once per combination of the switches below
// (defined ahead of the sources, see program_for): LIT (vertex lighting),
// FLAT (one colour per face, from the face normal when lit), TEXTURED and
// FOG. A switch left out costs nothing: llvmpipe would otherwise run both
// sides of a branch on a uniform under a mask, texture fetch included.
const char* kVertexSrc = R"(
layout(location = 0) in vec3 aPos;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec3 aFaceNormal;
layout(location = 3) in vec2 aUv;
layout(location = 4) in vec4 aColor;
uniform mat4 uModel;
uniform mat4 uView;
uniform mat4 uProj;
#ifdef FLAT
flat out vec4 vColor;
#else
out vec4 vColor;
#endif
#ifdef TEXTURED
out vec2 vUv;
#endif
#ifdef FOG
uniform vec2 uFog;             // start, end
out float vFog;
#endif

#ifdef LIT
uniform mat3 uNormalMat;
// The lights by kind: ambient ones summed into uAmbient, then in the arrays
// the directional ones, the point ones and the spot ones.
uniform vec3 uAmbient;
uniform ivec3 uLightEnd;       // end of the directional, point and spot lights
uniform vec4 uLightPos[48];    // xyz world position
uniform vec4 uLightDir[48];    // xyz world direction, w range
uniform vec4 uLightColor[48];  // rgb colour, w cosine of the umbra
uniform vec4 uLightAtt[48];    // constant, linear, quadratic (1, 0, 0 for none), cosine of the penumbra

// Point and spot lights: the attenuation at P (0 beyond the range) and the
// unit direction L from P to the light.
float reach(int i, vec3 P, out vec3 L) {
  L = uLightPos[i].xyz - P;
  float d = length(L);
  L = d > 0.0 ? L / d : -uLightDir[i].xyz;
  vec3 a = uLightAtt[i].xyz;
  return d > uLightDir[i].w ? 0.0 : 1.0 / max(a.x + a.y * d + a.z * d * d, 1e-6);
}

vec3 lighting(vec3 P, vec3 N) {
  vec3 sum = uAmbient;
  vec3 L;
  int i = 0;
  for (; i < uLightEnd.x; ++i) sum += uLightColor[i].rgb * max(dot(N, -uLightDir[i].xyz), 0.0);
  for (; i < uLightEnd.y; ++i) {
    float att = reach(i, P, L);
    sum += uLightColor[i].rgb * max(dot(N, L), 0.0) * att;
  }
  for (; i < uLightEnd.z; ++i) {
    float att = reach(i, P, L);
    float ca = dot(-L, uLightDir[i].xyz);
    float cu = uLightColor[i].w, cp = uLightAtt[i].w;
    float spot = ca >= cu ? 1.0 : (ca <= cp ? 0.0 : (ca - cp) / max(cu - cp, 1e-6));
    sum += uLightColor[i].rgb * max(dot(N, L), 0.0) * att * spot;
  }
  return sum;
}
#endif

void main() {
  vec4 world = uModel * vec4(aPos, 1.0);
  vec4 eye = uView * world;
  gl_Position = uProj * eye;
  vec4 colour = aColor;
#ifdef LIT
#ifdef FLAT
  vec3 n = uNormalMat * aFaceNormal;
#else
  vec3 n = uNormalMat * aNormal;
#endif
  vec3 N = length(n) > 0.0 ? normalize(n) : vec3(0.0, 0.0, -1.0);
  colour.rgb = clamp(aColor.rgb * lighting(world.xyz, N), 0.0, 1.0);
#endif
  vColor = colour;
#ifdef TEXTURED
  vUv = aUv;
#endif
#ifdef FOG
  float span = uFog.y - uFog.x;
  vFog = span > 0.0 ? clamp((uFog.y - eye.z) / span, 0.0, 1.0) : (eye.z < uFog.x ? 1.0 : 0.0);
#endif
}
)";

const char* kFragmentSrc = R"(
#ifdef FLAT
flat in vec4 vColor;
#else
in vec4 vColor;
#endif
#ifdef TEXTURED
in vec2 vUv;
uniform sampler2D uTex;
#endif
#ifdef FOG
in float vFog;
uniform vec3 uFogColor;
#endif
out vec4 frag;
void main() {
  vec4 c = vColor;
#ifdef TEXTURED
  c *= texture(uTex, vUv);
#endif
#ifdef FOG
  c.rgb = mix(uFogColor, c.rgb, vFog);
#endif
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

// The switches of a scene program, one bit each.
constexpr unsigned kLit = 1, kFlat = 2, kTextured = 4, kFog = 8;

}  // namespace

// One compiled combination of the switches, with its uniform locations.
struct SceneRenderer::Program {
  GLuint id = 0;
  GLint model, view, proj, normal_mat, ambient, light_end, light_pos, light_dir, light_color, light_att, fog;
  GLint fog_color, tex;
  uint64_t list = 0;  // the render list whose camera, lights and fog it holds
  uint64_t item = 0;  // the item whose matrices it holds

  explicit Program(unsigned variant) {
    std::string head = "#version 330 core\n";
    if (variant & kLit) head += "#define LIT\n";
    if (variant & kFlat) head += "#define FLAT\n";
    if (variant & kTextured) head += "#define TEXTURED\n";
    if (variant & kFog) head += "#define FOG\n";
    std::string error;
    id = compile_program((head + kVertexSrc).c_str(), (head + kFragmentSrc).c_str(), &error);
    if (!id) throw std::runtime_error("scene renderer: " + error);
    auto loc = [&](const char* n) { return glGetUniformLocation(id, n); };
    model = loc("uModel");
    view = loc("uView");
    proj = loc("uProj");
    normal_mat = loc("uNormalMat");
    ambient = loc("uAmbient");
    light_end = loc("uLightEnd");
    light_pos = loc("uLightPos");
    light_dir = loc("uLightDir");
    light_color = loc("uLightColor");
    light_att = loc("uLightAtt");
    fog = loc("uFog");
    fog_color = loc("uFogColor");
    tex = loc("uTex");
  }
  ~Program() { glDeleteProgram(id); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
};

// The lights of a render list as the scene programs take them.
struct SceneRenderer::LightUniforms {
  float ambient[3] = {0, 0, 0};
  GLint end[3] = {0, 0, 0};  // end of the directional, point and spot lights
  std::vector<float> pos, dir, color, att;

  void pack(const std::vector<rm::RenderLight>& lights, int max) {
    ambient[0] = ambient[1] = ambient[2] = 0;
    pos.clear();
    dir.clear();
    color.clear();
    att.clear();
    const int n = std::min<int>(static_cast<int>(lights.size()), max);
    for (int i = 0; i < n; ++i)
      if (lights[i].type == rm::LightType::Ambient)
        for (int k = 0; k < 3; ++k) ambient[k] += (&lights[i].color.x)[k];
    const rm::LightType kinds[3] = {rm::LightType::Directional, rm::LightType::Point, rm::LightType::Spot};
    for (int k = 0; k < 3; ++k) {
      for (int i = 0; i < n; ++i) {
        const rm::RenderLight& l = lights[i];
        if (l.type != kinds[k]) continue;
        const float range = l.range > 0 ? l.range : 0;
        const bool none = l.constant == 0 && l.linear == 0 && l.quadratic == 0;
        pos.insert(pos.end(), {l.position.x, l.position.y, l.position.z, 0});
        dir.insert(dir.end(), {l.direction.x, l.direction.y, l.direction.z, range});
        color.insert(color.end(), {l.color.x, l.color.y, l.color.z, std::cos(l.umbra)});
        if (none)
          att.insert(att.end(), {1, 0, 0, std::cos(l.penumbra)});
        else
          att.insert(att.end(), {l.constant, l.linear, l.quadratic, std::cos(l.penumbra)});
      }
      end[k] = static_cast<GLint>(pos.size() / 4);
    }
  }
};

SceneRenderer::SceneRenderer(BackSurface& target) : SceneRenderer(static_cast<Picture*>(nullptr)) {
  surface_ = &target;
  width_ = target.width();
  height_ = target.height();
  fbo_ = target.framebuffer();
}

SceneRenderer::SceneRenderer(Picture& target) : SceneRenderer(&target) { ensure_target_size(); }

SceneRenderer::SceneRenderer(Picture* mirror) : mirror_(mirror), lights_(std::make_unique<LightUniforms>()) {
  // The fullest combinations now, so that a shader error shows at once; the
  // others when first drawn with.
  program(kLit | kTextured | kFog);
  program(kLit | kFlat | kTextured | kFog);
  std::string error;
  bg_program_ = compile_program(kBackgroundVertexSrc, kBackgroundFragmentSrc, &error);
  if (!bg_program_) throw std::runtime_error("scene renderer background: " + error);
  bg_tex_ = glGetUniformLocation(bg_program_, "uTex");
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
  for (auto& p : programs_) p.reset();
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

SceneRenderer::Program& SceneRenderer::program(unsigned variant) {
  std::unique_ptr<Program>& p = programs_[variant];
  if (!p) p = std::make_unique<Program>(variant);
  return *p;
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

void SceneRenderer::bind_texture(const rm::Texture& t, GLint filter) {
  glBindTexture(GL_TEXTURE_2D, texture(t));
  GpuTexture& g = textures_[t.id()];
  if (g.filter == filter) return;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  g.filter = filter;
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
    bind_texture(*background, GL_LINEAR);
    glUniform1i(bg_tex_, 0);
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
  ++list_serial_;
  lights_->pack(list.lights, kMaxLights);
  glActiveTexture(GL_TEXTURE0);

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);
  glFrontFace(GL_CW);
  glCullFace(GL_BACK);
  const GLint filter = list.texture_quality == rm::TextureQuality::Linear ? GL_LINEAR : GL_NEAREST;

  const unsigned fog = list.fog.enabled ? kFog : 0;
  const Program* current = nullptr;
  // Makes the program of `variant` current, with the list's and the item's
  // uniforms.
  auto use = [&](unsigned variant, const rm::DrawItem& item) {
    Program& p = program(variant);
    if (current != &p) glUseProgram(p.id);
    current = &p;
    if (p.list != list_serial_) {
      p.list = list_serial_;
      glUniformMatrix4fv(p.view, 1, GL_TRUE, &list.view.m[0][0]);
      glUniformMatrix4fv(p.proj, 1, GL_TRUE, &list.projection.m[0][0]);
      if (variant & kLit) {
        const LightUniforms& l = *lights_;
        glUniform3fv(p.ambient, 1, l.ambient);
        glUniform3iv(p.light_end, 1, l.end);
        set_floats4(p.light_pos, l.pos);
        set_floats4(p.light_dir, l.dir);
        set_floats4(p.light_color, l.color);
        set_floats4(p.light_att, l.att);
      }
      if (variant & kFog) {
        glUniform2f(p.fog, list.fog.start, list.fog.end);
        uint32_t fc = list.fog.color;
        glUniform3f(p.fog_color, ((fc >> 16) & 255) / 255.0f, ((fc >> 8) & 255) / 255.0f, (fc & 255) / 255.0f);
      }
      if (variant & kTextured) glUniform1i(p.tex, 0);
    }
    if (p.item != item_serial_) {
      p.item = item_serial_;
      glUniformMatrix4fv(p.model, 1, GL_TRUE, &item.world.m[0][0]);
      if (variant & kLit) {
        rm::Mat4 inv = item.world.inverse();
        float nm[9] = {inv.m[0][0], inv.m[0][1], inv.m[0][2], inv.m[1][0], inv.m[1][1],
                       inv.m[1][2], inv.m[2][0], inv.m[2][1], inv.m[2][2]};
        glUniformMatrix3fv(p.normal_mat, 1, GL_FALSE, nm);
      }
    }
  };

  auto draw_item = [&](const rm::DrawItem& item, bool blended_pass) {
    const rm::MeshBase& m = *item.mesh;
    uint32_t q = item.quality;
    const bool flat_shade = rm::quality::flat(q);
    const rm::TriangleBuffer& tb = m.triangles(flat_shade);
    bool has_blended = !tb.batches.empty() && tb.batches.back().transparent;
    const GpuMesh& g = mesh(m, flat_shade);
    glBindVertexArray(g.vao);
    ++item_serial_;
    const unsigned shading = (rm::quality::lit(q) ? kLit : 0) | (flat_shade ? kFlat : 0) | fog;
    bool solid = rm::quality::solid(q), wire = rm::quality::wireframe(q);
    for (const rm::RenderBatch& b : tb.batches) {
      if (b.transparent != blended_pass || b.count == 0 || (!solid && wire)) continue;
      if (b.texture) bind_texture(*b.texture, filter);
      use(shading | (b.texture ? kTextured : 0), item);
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
      } else {
        glDrawElements(GL_POINTS, static_cast<GLsizei>(b.count), GL_UNSIGNED_INT,
                       reinterpret_cast<void*>(size_t{b.first} * sizeof(uint32_t)));
        ++stats_.draw_calls;
      }
    }
    if (wire && has_blended == blended_pass && !tb.edges.empty()) {
      glDisable(GL_CULL_FACE);
      use(shading, item);
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
