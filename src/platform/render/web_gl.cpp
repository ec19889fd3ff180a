#define QUARVEL_WEB_GL_IMPL
#include "platform/render/gl.h"

#include <emscripten.h>

#include <cstdint>
#include <cstring>
#include <vector>

EM_JS(void, quarvel_get_buffer_sub_data, (GLenum target, GLintptr offset, GLsizeiptr size, void* data), {
  GLctx.getBufferSubData(target, offset, HEAPU8, data, size);
});

void glGetBufferSubData(GLenum target, GLintptr offset, GLsizeiptr size, void* data) {
  quarvel_get_buffer_sub_data(target, offset, size, data);
}

namespace quarvel::render::webgl {
namespace {

bool bgra(GLenum format) { return format == GL_BGRA; }

// WebGL2 reads BGRA bytes and 8_8_8_8_REV words (the same bytes on a
// little-endian machine) as RGBA with unsigned bytes.
GLenum plain_type(GLenum type) { return type == GL_UNSIGNED_INT_8_8_8_8_REV ? GL_UNSIGNED_BYTE : type; }

// Swaps the first and third byte of each of `count` 4-byte pixels.
void swap_red_blue(uint8_t* p, size_t count) {
  for (size_t i = 0; i < count; ++i, p += 4) std::swap(p[0], p[2]);
}

// The rows as RGBA bytes: a copy of `pixels` with red and blue swapped
// (rows tightly packed: the renderer sets no unpack row length for them).
std::vector<uint8_t> as_rgba(const void* pixels, GLsizei w, GLsizei h) {
  std::vector<uint8_t> out(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
  std::memcpy(out.data(), pixels, out.size());
  swap_red_blue(out.data(), out.size() / 4);
  return out;
}

}  // namespace

void tex_image_2d(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format,
                  GLenum type, const void* pixels) {
  if (!bgra(format)) return glTexImage2D(target, level, internal, w, h, border, format, type, pixels);
  if (!pixels) return glTexImage2D(target, level, internal, w, h, border, GL_RGBA, plain_type(type), nullptr);
  const std::vector<uint8_t> rgba = as_rgba(pixels, w, h);
  glTexImage2D(target, level, internal, w, h, border, GL_RGBA, plain_type(type), rgba.data());
}

void tex_sub_image_2d(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h, GLenum format,
                      GLenum type, const void* pixels) {
  if (!bgra(format) || !pixels) {
    return glTexSubImage2D(target, level, x, y, w, h, bgra(format) ? GL_RGBA : format, plain_type(type), pixels);
  }
  const std::vector<uint8_t> rgba = as_rgba(pixels, w, h);
  glTexSubImage2D(target, level, x, y, w, h, GL_RGBA, plain_type(type), rgba.data());
}

void read_pixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type, void* pixels) {
  if (!bgra(format)) return glReadPixels(x, y, w, h, format, type, pixels);
  glReadPixels(x, y, w, h, GL_RGBA, plain_type(type), pixels);
  // Into a pixel buffer the bytes stay RGBA (only the picture reads of the
  // desktop's video export use one).
  GLint pack = 0;
  glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &pack);
  if (!pack && pixels) swap_red_blue(static_cast<uint8_t*>(pixels), static_cast<size_t>(w) * static_cast<size_t>(h));
}

void vertex_attrib_pointer(GLuint index, GLint size, GLenum type, GLboolean normalized, GLsizei stride,
                           const void* pointer) {
  glVertexAttribPointer(index, size == GL_BGRA ? 4 : size, type, normalized, stride, pointer);
}

// WebGL2 maps no buffers: callers fall back to reading the buffer's data.
void* map_buffer_range(GLenum, GLintptr, GLsizeiptr, GLbitfield) { return nullptr; }
GLboolean unmap_buffer(GLenum) { return GL_FALSE; }

}  // namespace quarvel::render::webgl
