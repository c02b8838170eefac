// The headless OpenGL context.
#include "platform/graphics/GLContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include "platform/system/Win32.h"

#include <cstdio>

namespace {

struct ContextState {
  bool tried = false;
  bool ok = false;
  std::string description;
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLSurface surface = EGL_NO_SURFACE;
  EGLContext context = EGL_NO_CONTEXT;
  GLFunctions gl;
};

ContextState& State() {
  static ContextState state;
  return state;
}

EGLDisplay OpenDisplay(bool* surfaceless) {
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  // Surfaceless first: it needs no display server at all, which is the usual case in CI.
  if (getPlatformDisplay) {
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) {
      *surfaceless = true;
      return display;
    }
  }
  EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) {
    *surfaceless = false;
    return display;
  }
  return EGL_NO_DISPLAY;
}

// The reason with EGL's own error code, which tells a refusal (0x3002, the thread holds another
// API's context) from a missing display or config.
std::string Failure(const char* reason) {
  char code[32];
  std::snprintf(code, sizeof(code), " (EGL error 0x%04X)", static_cast<unsigned>(eglGetError()));
  return reason + std::string(code);
}

bool LoadFunctions(GLFunctions& gl) {
  bool all = true;
#define KELVARUN_GL_LOAD(type, name)                                                 \
  gl.name = reinterpret_cast<type>(eglGetProcAddress("gl" #name));                   \
  all = all && gl.name != nullptr;
  KELVARUN_GL_FUNCTIONS(KELVARUN_GL_LOAD)
#undef KELVARUN_GL_LOAD
  return all;
}

bool Create(ContextState& s) {
  bool surfaceless = false;
  s.display = OpenDisplay(&surfaceless);
  if (s.display == EGL_NO_DISPLAY) {
    s.description = Failure("no EGL display");
    return false;
  }
  if (!eglBindAPI(EGL_OPENGL_API)) {
    s.description = Failure("EGL has no desktop OpenGL");
    return false;
  }
  const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_NONE};
  EGLConfig config = nullptr;
  EGLint configs = 0;
  eglChooseConfig(s.display, configAttributes, &config, 1, &configs);
  const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                      EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
  s.context = eglCreateContext(s.display, configs ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, contextAttributes);
  if (s.context == EGL_NO_CONTEXT) {
    s.description = Failure("no OpenGL 3.3 core context");
    return false;
  }
  if (!surfaceless && configs) {
    const EGLint pbuffer[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
    s.surface = eglCreatePbufferSurface(s.display, config, pbuffer);
  }
  if (!eglMakeCurrent(s.display, s.surface, s.surface, s.context)) {
    s.description = Failure("the OpenGL context cannot be made current");
    return false;
  }
  if (!LoadFunctions(s.gl)) {
    s.description = "OpenGL entry points missing";
    return false;
  }
  s.description = std::string(reinterpret_cast<const char*>(s.gl.GetString(GL_RENDERER))) + " | " +
                  reinterpret_cast<const char*>(s.gl.GetString(GL_VERSION));
  return true;
}

}  // namespace

namespace glctx {

bool MakeCurrent() {
  ContextState& s = State();
  if (!s.tried) {
    s.tried = true;
    s.ok = Create(s);
    OutputDebugStringA(("GLContext: " + s.description + "\n").c_str());
    return s.ok;
  }
  if (!s.ok) return false;
  return eglGetCurrentContext() == s.context || eglMakeCurrent(s.display, s.surface, s.surface, s.context);
}

const GLFunctions& GL() { return State().gl; }

std::string Describe() {
  MakeCurrent();
  return State().description;
}

}  // namespace glctx
