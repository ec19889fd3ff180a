#pragma once
// Small helpers shared by the GL code: shader programs and error text.
#include <string>

#include "platform/render/gl.h"

namespace quarvel::render {

// The first lines of every shader: "#version 330 core" on the desktop;
// "#version 300 es" with precision lines in the page (WebGL2). Either way it
// defines VERTEX_BGRA(c), which puts a vertex colour given as BGRA bytes in
// RGBA order.
extern const char* const kShaderHeader;

// Compiles and links a program from GLSL 3.30 core sources (their
// "#version 330 core" line is replaced by kShaderHeader). Returns 0 and
// sets `error` (with the compiler's log) on failure.
GLuint compile_program(const char* vertex_src, const char* fragment_src, std::string* error);

// A vertex shader drawing one triangle that covers the whole viewport
// (three vertices, no attributes): for passes whose fragment shader works
// from gl_FragCoord.
extern const char* const kFullViewportVertex;

// A new w x h texture of `internal` format, filtered by `filter`, contents
// undefined.
GLuint make_texture(GLenum internal, int w, int h, GLenum format, GLenum type, GLenum filter);

// The current context's GL_RENDERER string ("" when there is no context).
std::string gl_renderer();

// True when the current context is Mesa's llvmpipe, the reference for
// bit-exact pictures.
bool renderer_is_llvmpipe();

}  // namespace quarvel::render
