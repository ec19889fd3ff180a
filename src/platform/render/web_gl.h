#pragma once
// The desktop OpenGL calls of the renderer on WebGL2 (OpenGL ES 3.0):
// - pixels given or read as BGRA bytes are swapped to and from RGBA on the
//   CPU (WebGL2 knows only RGBA);
// - BGRA vertex colours are read as RGBA and put back in order by the
//   shaders (VERTEX_BGRA in the shader header);
// - polygon modes do not exist (the renderer only ever asks for filled);
// - the depth clear value is a float.
// Included through gl.h only, in the page build only.
#include <GLES3/gl3.h>

#define GL_BGRA 0x80E1
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367
#define GL_FILL 0x1B02
#define GL_LINE 0x1B01

namespace quarvel::render::webgl {
void tex_image_2d(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format,
                  GLenum type, const void* pixels);
void tex_sub_image_2d(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h, GLenum format,
                      GLenum type, const void* pixels);
void read_pixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, void* pixels);
void vertex_attrib_pointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                           const void* pointer);
void* map_buffer_range(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access);
GLboolean unmap_buffer(GLenum target);
}  // namespace quarvel::render::webgl

#ifndef QUARVEL_WEB_GL_IMPL
#define glTexImage2D ::quarvel::render::webgl::tex_image_2d
#define glTexSubImage2D ::quarvel::render::webgl::tex_sub_image_2d
#define glReadPixels ::quarvel::render::webgl::read_pixels
#define glVertexAttribPointer ::quarvel::render::webgl::vertex_attrib_pointer
#define glMapBufferRange ::quarvel::render::webgl::map_buffer_range
#define glUnmapBuffer ::quarvel::render::webgl::unmap_buffer
#endif

// WebGL2's getBufferSubData under its desktop name.
void glGetBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data);
inline void glPolygonMode(GLenum, GLenum) {}
inline void glClearDepth(double depth) { glClearDepthf(static_cast<float>(depth)); }
