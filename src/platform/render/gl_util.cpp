#include "platform/render/gl_util.h"

#include <string_view>
#include <vector>

namespace quarvel::render {
namespace {

std::string shader_log(GLuint shader) {
  GLint len = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &len);
  std::vector<char> buf(static_cast<size_t>(len > 0 ? len : 1), '\0');
  glGetShaderInfoLog(shader, static_cast<GLsizei>(buf.size()), nullptr, buf.data());
  return buf.data();
}

std::string program_log(GLuint program) {
  GLint len = 0;
  glGetProgramiv(program, GL_INFO_LOG_LENGTH, &len);
  std::vector<char> buf(static_cast<size_t>(len > 0 ? len : 1), '\0');
  glGetProgramInfoLog(program, static_cast<GLsizei>(buf.size()), nullptr, buf.data());
  return buf.data();
}

constexpr std::string_view kDesktopVersion = "#version 330 core\n";

GLuint compile(GLenum kind, const char* text, std::string* error) {
  // The sources are written for the desktop; the header chosen for the
  // platform takes the place of their version line.
  std::string_view body = text;
  if (body.starts_with(kDesktopVersion)) body.remove_prefix(kDesktopVersion.size());
  const std::string full = std::string(kShaderHeader) + std::string(body);
  const char* src = full.c_str();
  GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &src, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    if (error) {
      *error = std::string(kind == GL_VERTEX_SHADER ? "vertex" : "fragment") +
               " shader: " + shader_log(shader);
    }
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

#ifdef __EMSCRIPTEN__
const char* const kShaderHeader =
    "#version 300 es\n"
    "precision highp float;\nprecision highp int;\n"
    "precision highp sampler2D;\nprecision highp usampler2D;\n"
    "#define VERTEX_BGRA(c) ((c).bgra)\n";
#else
const char* const kShaderHeader = "#version 330 core\n#define VERTEX_BGRA(c) (c)\n";
#endif

const char* const kFullViewportVertex = R"(#version 330 core
void main() {
  vec2 p = vec2(float((gl_VertexID & 1) * 4 - 1), float((gl_VertexID & 2) * 2 - 1));
  gl_Position = vec4(p, 0.0, 1.0);
}
)";

GLuint make_texture(GLenum internal, int w, int h, GLenum format, GLenum type, GLenum filter) {
  GLuint tex = 0;
  glGenTextures(1, &tex);
  glBindTexture(GL_TEXTURE_2D, tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(filter));
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(filter));
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internal), w, h, 0, format, type, nullptr);
  return tex;
}

GLuint compile_program(const char* vertex_src, const char* fragment_src, std::string* error) {
  GLuint vs = compile(GL_VERTEX_SHADER, vertex_src, error);
  if (!vs) return 0;
  GLuint fs = compile(GL_FRAGMENT_SHADER, fragment_src, error);
  if (!fs) {
    glDeleteShader(vs);
    return 0;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    if (error) *error = "link: " + program_log(program);
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

std::string gl_renderer() {
  const GLubyte* s = glGetString(GL_RENDERER);
  return s ? reinterpret_cast<const char*>(s) : "";
}

bool renderer_is_llvmpipe() { return gl_renderer().find("llvmpipe") != std::string::npos; }

}  // namespace quarvel::render
