#include "platform/render/shaders.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "platform/render/gl_util.h"

namespace quarvel::render {

namespace {

// The scene shaders, compiled once per combination of the switches (defined
// ahead of the sources, see SceneProgram).
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
  vec4 colour = VERTEX_BGRA(aColor);
#ifdef LIT
#ifdef FLAT
  vec3 n = uNormalMat * aFaceNormal;
#else
  vec3 n = uNormalMat * aNormal;
#endif
  vec3 N = length(n) > 0.0 ? normalize(n) : vec3(0.0, 0.0, -1.0);
  colour.rgb = clamp(VERTEX_BGRA(aColor).rgb * lighting(world.xyz, N), 0.0, 1.0);
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

GLfloat channel(uint32_t argb, int shift) { return ((argb >> shift) & 255) / 255.0f; }

}  // namespace

void LightUniforms::pack(const std::vector<rm::RenderLight>& lights, int max) {
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

SceneProgram::SceneProgram(unsigned variant) {
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

SceneProgram::~SceneProgram() { glDeleteProgram(id); }

void SceneProgram::set_list(unsigned variant, const rm::RenderList& l, const LightUniforms& lights) const {
  glUniformMatrix4fv(view, 1, GL_TRUE, &l.view.m[0][0]);
  glUniformMatrix4fv(proj, 1, GL_TRUE, &l.projection.m[0][0]);
  if (variant & kLit) {
    glUniform3fv(ambient, 1, lights.ambient);
    glUniform3iv(light_end, 1, lights.end);
    set_floats4(light_pos, lights.pos);
    set_floats4(light_dir, lights.dir);
    set_floats4(light_color, lights.color);
    set_floats4(light_att, lights.att);
  }
  if (variant & kFog) {
    glUniform2f(fog, l.fog.start, l.fog.end);
    glUniform3f(fog_color, channel(l.fog.color, 16), channel(l.fog.color, 8), channel(l.fog.color, 0));
  }
  if (variant & kTextured) glUniform1i(tex, 0);
}

void SceneProgram::set_item(unsigned variant, const rm::DrawItem& item) const {
  glUniformMatrix4fv(model, 1, GL_TRUE, &item.world.m[0][0]);
  if (variant & kLit) {
    rm::Mat4 inv = item.world.inverse();
    float nm[9] = {inv.m[0][0], inv.m[0][1], inv.m[0][2], inv.m[1][0], inv.m[1][1],
                   inv.m[1][2], inv.m[2][0], inv.m[2][1], inv.m[2][2]};
    glUniformMatrix3fv(normal_mat, 1, GL_FALSE, nm);
  }
}

SceneProgram& ScenePrograms::get(unsigned variant) {
  std::unique_ptr<SceneProgram>& p = programs_[variant];
  if (!p) p = std::make_unique<SceneProgram>(variant);
  return *p;
}

BackgroundProgram::BackgroundProgram() {
  std::string error;
  id_ = compile_program(kBackgroundVertexSrc, kBackgroundFragmentSrc, &error);
  if (!id_) throw std::runtime_error("scene renderer background: " + error);
  tex_ = glGetUniformLocation(id_, "uTex");
  glGenVertexArrays(1, &empty_vao_);
}

BackgroundProgram::~BackgroundProgram() {
  glDeleteVertexArrays(1, &empty_vao_);
  glDeleteProgram(id_);
}

void BackgroundProgram::draw() const {
  glUseProgram(id_);
  glUniform1i(tex_, 0);
  glBindVertexArray(empty_vao_);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

}  // namespace quarvel::render
