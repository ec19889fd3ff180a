#pragma once
// OpenGL 3.3 core entry points. They come straight from the vendor-neutral
// libOpenGL (glvnd), which dispatches to whatever context is current: the
// window's (SDL) or the headless one (EGL surfaceless).
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>
