#include "platform/display/egl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/display/display_error.h"

namespace quarvel::display {
namespace {

std::string egl_error_text() {
  char buf[32];
  std::snprintf(buf, sizeof buf, "EGL error 0x%04X", static_cast<unsigned>(eglGetError()));
  return buf;
}

bool has_extension(const char* list, const char* name) {
  if (!list) return false;
  const size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

}  // namespace

EglHeadlessContext::EglHeadlessContext() {
  const char* client_ext = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!has_extension(client_ext, "EGL_MESA_platform_surfaceless")) {
    throw DisplayError("headless display: EGL has no surfaceless platform (Mesa's libegl-mesa0 is needed)");
  }
  EGLDisplay dpy = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (dpy == EGL_NO_DISPLAY) throw DisplayError("headless display: no surfaceless EGL display (" + egl_error_text() + ")");
  EGLint major = 0, minor = 0;
  if (!eglInitialize(dpy, &major, &minor)) {
    throw DisplayError("headless display: eglInitialize failed (" + egl_error_text() + ")");
  }
  auto fail = [&](const std::string& what) {
    std::string msg = "headless display: " + what + " (" + egl_error_text() + ")";
    eglTerminate(dpy);
    throw DisplayError(msg);
  };
  if (!has_extension(eglQueryString(dpy, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context")) {
    eglTerminate(dpy);
    throw DisplayError("headless display: EGL lacks EGL_KHR_surfaceless_context");
  }
  if (!eglBindAPI(EGL_OPENGL_API)) fail("OpenGL API not available");
  // We render into framebuffer objects only, so no config is needed where
  // EGL allows that; otherwise any config that offers OpenGL will do.
  EGLConfig config = EGL_NO_CONFIG_KHR;
  if (!has_extension(eglQueryString(dpy, EGL_EXTENSIONS), "EGL_KHR_no_config_context")) {
    const EGLint config_attribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(dpy, config_attribs, &config, 1, &count) || count < 1) fail("no OpenGL config");
  }
  const EGLint ctx_attribs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                EGL_NONE};
  EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, ctx_attribs);
  if (ctx == EGL_NO_CONTEXT) fail("cannot create an OpenGL 3.3 core context");
  if (!eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
    eglDestroyContext(dpy, ctx);
    fail("cannot make the OpenGL context current");
  }
  display_ = dpy;
  context_ = ctx;
}

EglHeadlessContext::~EglHeadlessContext() {
  if (!display_) return;
  eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroyContext(display_, context_);
  // The display is shared by every context of the process; terminating it
  // would invalidate the others, and Mesa frees it at exit.
}

void EglHeadlessContext::make_current() {
  if (display_) eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_);
}

}  // namespace quarvel::display
