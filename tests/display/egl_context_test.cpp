#include <gtest/gtest.h>

#include "platform/display/egl_context.h"
#include "platform/render/gl_util.h"

using namespace quarvel;

TEST(EglHeadlessContext, GivesACurrentCoreContextWithoutAWindow) {
  display::EglHeadlessContext ctx;
  GLint major = 0, minor = 0;
  glGetIntegerv(GL_MAJOR_VERSION, &major);
  glGetIntegerv(GL_MINOR_VERSION, &minor);
  EXPECT_GE(major * 10 + minor, 33);
  EXPECT_FALSE(render::gl_renderer().empty());
}
