#pragma once
// Small helpers shared by the GL code: shader programs and error text.
#include <string>

#include "platform/render/gl.h"

namespace quarvel::render {

// Compiles and links a program from GLSL 3.30 core sources. Returns 0 and
// sets `error` (with the compiler's log) on failure.
GLuint compile_program(const char* vertex_src, const char* fragment_src, std::string* error);

// The current context's GL_RENDERER string ("" when there is no context).
std::string gl_renderer();

// True when the current context is Mesa's llvmpipe, the reference for
// bit-exact pictures.
bool renderer_is_llvmpipe();

}  // namespace quarvel::render
