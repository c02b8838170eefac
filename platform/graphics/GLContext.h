// GLContext: the process's one OpenGL 3.3 core context, made headlessly through EGL (Mesa's
// surfaceless platform, else the default display with a small pbuffer), and the table of GL
// entry points looked up through eglGetProcAddress. Everything drawn goes to frame buffer
// objects, so no window surface is ever needed.
#pragma once

#include <GL/glcorearb.h>

#include <string>

struct GLFunctions {
#define KELVARUN_GL_FUNCTIONS(X)                                                                                   \
  X(PFNGLGENTEXTURESPROC, GenTextures)                                                                             \
  X(PFNGLDELETETEXTURESPROC, DeleteTextures)                                                                       \
  X(PFNGLBINDTEXTUREPROC, BindTexture)                                                                             \
  X(PFNGLTEXIMAGE2DPROC, TexImage2D)                                                                               \
  X(PFNGLTEXSUBIMAGE2DPROC, TexSubImage2D)                                                                         \
  X(PFNGLTEXPARAMETERIPROC, TexParameteri)                                                                         \
  X(PFNGLTEXPARAMETERFPROC, TexParameterf)                                                                         \
  X(PFNGLACTIVETEXTUREPROC, ActiveTexture)                                                                         \
  X(PFNGLGENFRAMEBUFFERSPROC, GenFramebuffers)                                                                     \
  X(PFNGLDELETEFRAMEBUFFERSPROC, DeleteFramebuffers)                                                               \
  X(PFNGLBINDFRAMEBUFFERPROC, BindFramebuffer)                                                                     \
  X(PFNGLFRAMEBUFFERTEXTURE2DPROC, FramebufferTexture2D)                                                           \
  X(PFNGLFRAMEBUFFERRENDERBUFFERPROC, FramebufferRenderbuffer)                                                     \
  X(PFNGLGENRENDERBUFFERSPROC, GenRenderbuffers)                                                                   \
  X(PFNGLDELETERENDERBUFFERSPROC, DeleteRenderbuffers)                                                             \
  X(PFNGLBINDRENDERBUFFERPROC, BindRenderbuffer)                                                                   \
  X(PFNGLRENDERBUFFERSTORAGEPROC, RenderbufferStorage)                                                             \
  X(PFNGLCHECKFRAMEBUFFERSTATUSPROC, CheckFramebufferStatus)                                                       \
  X(PFNGLREADPIXELSPROC, ReadPixels)                                                                               \
  X(PFNGLPIXELSTOREIPROC, PixelStorei)                                                                             \
  X(PFNGLVIEWPORTPROC, Viewport)                                                                                   \
  X(PFNGLSCISSORPROC, Scissor)                                                                                     \
  X(PFNGLENABLEPROC, Enable)                                                                                       \
  X(PFNGLDISABLEPROC, Disable)                                                                                     \
  X(PFNGLCLEARCOLORPROC, ClearColor)                                                                               \
  X(PFNGLCLEARDEPTHPROC, ClearDepth)                                                                               \
  X(PFNGLCLEARPROC, Clear)                                                                                         \
  X(PFNGLDEPTHMASKPROC, DepthMask)                                                                                 \
  X(PFNGLDEPTHFUNCPROC, DepthFunc)                                                                                 \
  X(PFNGLBLENDFUNCPROC, BlendFunc)                                                                                 \
  X(PFNGLCULLFACEPROC, CullFace)                                                                                   \
  X(PFNGLFRONTFACEPROC, FrontFace)                                                                                 \
  X(PFNGLPOLYGONMODEPROC, PolygonMode)                                                                             \
  X(PFNGLCREATESHADERPROC, CreateShader)                                                                           \
  X(PFNGLSHADERSOURCEPROC, ShaderSource)                                                                           \
  X(PFNGLCOMPILESHADERPROC, CompileShader)                                                                         \
  X(PFNGLGETSHADERIVPROC, GetShaderiv)                                                                             \
  X(PFNGLGETSHADERINFOLOGPROC, GetShaderInfoLog)                                                                   \
  X(PFNGLDELETESHADERPROC, DeleteShader)                                                                           \
  X(PFNGLCREATEPROGRAMPROC, CreateProgram)                                                                         \
  X(PFNGLATTACHSHADERPROC, AttachShader)                                                                           \
  X(PFNGLBINDATTRIBLOCATIONPROC, BindAttribLocation)                                                               \
  X(PFNGLLINKPROGRAMPROC, LinkProgram)                                                                             \
  X(PFNGLGETPROGRAMIVPROC, GetProgramiv)                                                                           \
  X(PFNGLGETPROGRAMINFOLOGPROC, GetProgramInfoLog)                                                                 \
  X(PFNGLDELETEPROGRAMPROC, DeleteProgram)                                                                         \
  X(PFNGLUSEPROGRAMPROC, UseProgram)                                                                               \
  X(PFNGLGETUNIFORMLOCATIONPROC, GetUniformLocation)                                                               \
  X(PFNGLUNIFORM1IPROC, Uniform1i)                                                                                 \
  X(PFNGLUNIFORM2FPROC, Uniform2f)                                                                                 \
  X(PFNGLUNIFORM4FPROC, Uniform4f)                                                                                 \
  X(PFNGLGENVERTEXARRAYSPROC, GenVertexArrays)                                                                     \
  X(PFNGLDELETEVERTEXARRAYSPROC, DeleteVertexArrays)                                                               \
  X(PFNGLBINDVERTEXARRAYPROC, BindVertexArray)                                                                     \
  X(PFNGLGENBUFFERSPROC, GenBuffers)                                                                               \
  X(PFNGLDELETEBUFFERSPROC, DeleteBuffers)                                                                         \
  X(PFNGLBINDBUFFERPROC, BindBuffer)                                                                               \
  X(PFNGLBUFFERDATAPROC, BufferData)                                                                               \
  X(PFNGLVERTEXATTRIBPOINTERPROC, VertexAttribPointer)                                                             \
  X(PFNGLENABLEVERTEXATTRIBARRAYPROC, EnableVertexAttribArray)                                                     \
  X(PFNGLDRAWELEMENTSPROC, DrawElements)                                                                           \
  X(PFNGLGETERRORPROC, GetError)                                                                                   \
  X(PFNGLGETSTRINGPROC, GetString)
#define KELVARUN_GL_MEMBER(type, name) type name = nullptr;
  KELVARUN_GL_FUNCTIONS(KELVARUN_GL_MEMBER)
#undef KELVARUN_GL_MEMBER
};

namespace glctx {
// Makes (once) and binds the context; false, with the reason logged once, when none can be had.
bool MakeCurrent();
// The entry points of the current context; only valid after MakeCurrent returned true.
const GLFunctions& GL();
// "renderer | version" of the context, or the reason it could not be made.
std::string Describe();
}  // namespace glctx
