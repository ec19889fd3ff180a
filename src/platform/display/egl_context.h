#pragma once
// An OpenGL 3.3 core context with no window and no X server: EGL on Mesa's
// surfaceless platform. Used by the headless back end and by GL tests.
namespace quarvel::display {

class EglHeadlessContext {
 public:
  // Creates the context and makes it current. Throws DisplayError naming the
  // step that failed.
  EglHeadlessContext();
  ~EglHeadlessContext();
  EglHeadlessContext(const EglHeadlessContext&) = delete;
  EglHeadlessContext& operator=(const EglHeadlessContext&) = delete;

  void make_current();

 private:
  void* display_ = nullptr;  // EGLDisplay
  void* context_ = nullptr;  // EGLContext
};

}  // namespace quarvel::display
