#pragma once
// OpenGL 3.3 core entry points. On the desktop they come straight from the
// vendor-neutral libOpenGL (glvnd), which dispatches to whatever context is
// current: the window's (SDL) or the headless one (EGL surfaceless). In the
// page they are WebGL2's (OpenGL ES 3.0), with the few desktop calls the
// renderer makes mapped onto it (web_gl.h).
#ifdef __EMSCRIPTEN__
#include "platform/render/web_gl.h"
#else
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
#endif
