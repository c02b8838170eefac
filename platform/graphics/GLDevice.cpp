// The OpenGL device.
#include "platform/graphics/GLDevice.h"

#include <cstring>

#include "platform/graphics/GLContext.h"
#include "platform/system/Win32.h"

namespace {

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 a_position;  // x, y in pixels, z 0..1, rhw
layout(location = 1) in vec4 a_diffuse;
layout(location = 2) in vec4 a_specular;
layout(location = 3) in vec2 a_uv0;
layout(location = 4) in vec2 a_uv1;
uniform vec2 u_size;
out vec4 v_diffuse;
out float v_fog;
out vec2 v_uv0;
out vec2 v_uv1;
void main() {
  // Scaling the whole position by w = 1 / rhw makes GL interpolate perspective-correctly.
  float w = a_position.w > 0.0 ? 1.0 / a_position.w : 1.0;
  // Pixel centres of the screen vertices lie on whole coordinates; GL samples at halves.
  vec2 ndc = (a_position.xy + 0.5) / u_size * 2.0 - 1.0;
  gl_Position = vec4(ndc * w, (a_position.z * 2.0 - 1.0) * w, w);
  v_diffuse = a_diffuse;
  v_fog = a_specular.a;
  v_uv0 = a_uv0;
  v_uv1 = a_uv1;
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec4 v_diffuse;
in float v_fog;
in vec2 v_uv0;
in vec2 v_uv1;
uniform sampler2D u_texture0;
uniform sampler2D u_texture1;
uniform int u_colourOp;  // 0 diffuse, 1 texture times diffuse, 2 texture
uniform int u_alphaOp;   // the same for alpha
uniform int u_stage1;    // 1: modulate by the second texture
uniform int u_fog;
uniform vec4 u_fogColour;
out vec4 o_colour;
void main() {
  vec4 t0 = texture(u_texture0, v_uv0);
  vec3 rgb = u_colourOp == 0 ? v_diffuse.rgb : (u_colourOp == 1 ? t0.rgb * v_diffuse.rgb : t0.rgb);
  float a = u_alphaOp == 0 ? v_diffuse.a : (u_alphaOp == 1 ? t0.a * v_diffuse.a : t0.a);
  if (u_stage1 == 1) rgb *= texture(u_texture1, v_uv1).rgb;
  if (u_fog == 1) rgb = mix(u_fogColour.rgb, rgb, clamp(v_fog, 0.0, 1.0));
  o_colour = vec4(rgb, a);
}
)";

int ShiftOf(DWORD mask) { return mask ? __builtin_ctz(mask) : 0; }

uint8_t Expand(uint32_t pixel, DWORD mask) {
  if (!mask) return 255;
  const uint32_t top = mask >> ShiftOf(mask);
  return static_cast<uint8_t>(((pixel & mask) >> ShiftOf(mask)) * 255u / top);
}

uint32_t Pack(uint8_t value, DWORD mask) {
  if (!mask) return 0;
  const uint32_t top = mask >> ShiftOf(mask);
  return ((value * top + 127u) / 255u) << ShiftOf(mask);
}

// The surface's pixels as RGBA bytes, row 0 first.
void ToRgba(const IDirectDrawSurface4& surface, std::vector<uint8_t>& out) {
  const DDPIXELFORMAT& f = surface.Format();
  const DWORD w = surface.Width(), h = surface.Height(), bytes = f.dwRGBBitCount / 8;
  out.resize(static_cast<size_t>(w) * h * 4);
  for (DWORD y = 0; y < h; ++y) {
    const uint8_t* row = surface.Pixels() + static_cast<size_t>(y) * surface.Pitch();
    uint8_t* dst = out.data() + static_cast<size_t>(y) * w * 4;
    for (DWORD x = 0; x < w; ++x, dst += 4) {
      uint32_t pixel = 0;
      std::memcpy(&pixel, row + static_cast<size_t>(x) * bytes, bytes);
      dst[0] = Expand(pixel, f.dwRBitMask);
      dst[1] = Expand(pixel, f.dwGBitMask);
      dst[2] = Expand(pixel, f.dwBBitMask);
      dst[3] = Expand(pixel, f.dwRGBAlphaBitMask);
    }
  }
}

void FromRgba(const std::vector<uint8_t>& rgba, IDirectDrawSurface4& surface) {
  const DDPIXELFORMAT& f = surface.Format();
  const DWORD w = surface.Width(), h = surface.Height(), bytes = f.dwRGBBitCount / 8;
  for (DWORD y = 0; y < h; ++y) {
    uint8_t* row = surface.Pixels() + static_cast<size_t>(y) * surface.Pitch();
    const uint8_t* src = rgba.data() + static_cast<size_t>(y) * w * 4;
    for (DWORD x = 0; x < w; ++x, src += 4) {
      const uint32_t pixel = Pack(src[0], f.dwRBitMask) | Pack(src[1], f.dwGBitMask) | Pack(src[2], f.dwBBitMask) |
                             Pack(src[3], f.dwRGBAlphaBitMask);
      std::memcpy(row + static_cast<size_t>(x) * bytes, &pixel, bytes);
    }
  }
}

GLenum BlendFactor(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    default: return GL_ONE;
  }
}

GLint Addressing(DWORD mode) {
  if (mode == D3DTADDRESS_CLAMP) return GL_CLAMP_TO_EDGE;
  if (mode == D3DTADDRESS_MIRROR) return GL_MIRRORED_REPEAT;
  return GL_REPEAT;
}

GLint MinFilter(DWORD min, DWORD mip) {
  const bool linear = min == D3DTFN_LINEAR;
  if (mip == D3DTFP_POINT) return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  if (mip == D3DTFP_LINEAR) return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  return linear ? GL_LINEAR : GL_NEAREST;
}

float FloatOf(DWORD bits) {
  float f;
  std::memcpy(&f, &bits, sizeof(f));
  return f;
}

int OpOf(DWORD op) {
  if (op == D3DTOP_MODULATE) return 1;
  if (op == D3DTOP_SELECTARG1) return 2;
  return 0;
}

}  // namespace

std::unique_ptr<CGLDevice> CGLDevice::Create(std::shared_ptr<IDirectDrawSurface4> target, const D3DDEVICEDESC& hardware,
                                             const D3DDEVICEDESC& emulation, std::vector<DDPIXELFORMAT> textureFormats) {
  if (!glctx::MakeCurrent()) return nullptr;
  std::unique_ptr<CGLDevice> device(new CGLDevice(std::move(target), hardware, emulation, std::move(textureFormats)));
  if (!device->BuildProgram()) return nullptr;
  return device;
}

bool CGLDevice::Install() {
  if (!glctx::MakeCurrent()) {
    OutputDebugStringA(("GLDevice: OpenGL is not available (" + glctx::Describe() + ")\n").c_str());
    return false;
  }
  GetDisplayMachine().deviceFactory = [](std::shared_ptr<IDirectDrawSurface4> target,
                                         const ScriptedD3DDevice& d) -> std::unique_ptr<IDirect3DDevice3> {
    return CGLDevice::Create(std::move(target), d.hardware, d.emulation, d.textureFormats);
  };
  return true;
}

CGLDevice::CGLDevice(std::shared_ptr<IDirectDrawSurface4> target, const D3DDEVICEDESC& hardware,
                     const D3DDEVICEDESC& emulation, std::vector<DDPIXELFORMAT> textureFormats)
    : m_target(std::move(target)),
      m_hardware(hardware),
      m_emulation(emulation),
      m_textureFormats(std::move(textureFormats)) {
  // The device's states as a fresh device has them.
  m_renderStates[D3DRENDERSTATE_ZWRITEENABLE] = 1;
  m_renderStates[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
  m_renderStates[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
  m_renderStates[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
  m_renderStates[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
  for (DWORD stage = 0; stage < 2; ++stage) {
    auto& s = m_stageStates[stage];
    s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    s[D3DTSS_COLORARG1] = s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    s[D3DTSS_COLORARG2] = s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    s[D3DTSS_TEXCOORDINDEX] = stage;
    s[D3DTSS_ADDRESSU] = s[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    s[D3DTSS_MAGFILTER] = D3DTFG_POINT;
    s[D3DTSS_MINFILTER] = D3DTFN_POINT;
    s[D3DTSS_MIPFILTER] = D3DTFP_NONE;
  }
  if (m_target) {
    m_viewport.dwWidth = m_target->Width();
    m_viewport.dwHeight = m_target->Height();
  }
}

CGLDevice::~CGLDevice() {
  if (!glctx::MakeCurrent()) return;
  const GLFunctions& gl = glctx::GL();
  for (Target& t : m_targets) DeleteTarget(t);
  for (auto& entry : m_textureObjects) gl.DeleteTextures(1, &entry.second.id);
  gl.DeleteTextures(1, &m_white);
  gl.DeleteBuffers(1, &m_vertexBuffer);
  gl.DeleteBuffers(1, &m_indexBuffer);
  gl.DeleteVertexArrays(1, &m_vertexArray);
  gl.DeleteProgram(m_program);
}

bool CGLDevice::BuildProgram() {
  const GLFunctions& gl = glctx::GL();
  auto compile = [&](GLenum kind, const char* source) -> GLuint {
    GLuint shader = gl.CreateShader(kind);
    gl.ShaderSource(shader, 1, &source, nullptr);
    gl.CompileShader(shader);
    GLint ok = 0;
    gl.GetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
      char log[1024] = {};
      gl.GetShaderInfoLog(shader, sizeof(log), nullptr, log);
      OutputDebugStringA((std::string("GLDevice: shader: ") + log + "\n").c_str());
    }
    return ok ? shader : 0;
  };
  const GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader);
  const GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentShader);
  if (!vertex || !fragment) return false;
  m_program = gl.CreateProgram();
  gl.AttachShader(m_program, vertex);
  gl.AttachShader(m_program, fragment);
  gl.LinkProgram(m_program);
  gl.DeleteShader(vertex);
  gl.DeleteShader(fragment);
  GLint linked = 0;
  gl.GetProgramiv(m_program, GL_LINK_STATUS, &linked);
  if (!linked) {
    OutputDebugStringA("GLDevice: the shader program does not link\n");
    return false;
  }
  gl.UseProgram(m_program);
  gl.Uniform1i(gl.GetUniformLocation(m_program, "u_texture0"), 0);
  gl.Uniform1i(gl.GetUniformLocation(m_program, "u_texture1"), 1);
  m_uniformSize = gl.GetUniformLocation(m_program, "u_size");
  m_uniformColourOp = gl.GetUniformLocation(m_program, "u_colourOp");
  m_uniformAlphaOp = gl.GetUniformLocation(m_program, "u_alphaOp");
  m_uniformStage1 = gl.GetUniformLocation(m_program, "u_stage1");
  m_uniformFog = gl.GetUniformLocation(m_program, "u_fog");
  m_uniformFogColour = gl.GetUniformLocation(m_program, "u_fogColour");

  gl.GenVertexArrays(1, &m_vertexArray);
  gl.BindVertexArray(m_vertexArray);
  gl.GenBuffers(1, &m_vertexBuffer);
  gl.GenBuffers(1, &m_indexBuffer);
  gl.BindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
  gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_indexBuffer);
  const GLsizei stride = 40;
  gl.VertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
  gl.VertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(16));
  gl.VertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(20));
  gl.VertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(24));
  gl.VertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(32));
  for (GLuint i = 0; i < 5; ++i) gl.EnableVertexAttribArray(i);

  const uint8_t white[4] = {255, 255, 255, 255};
  gl.GenTextures(1, &m_white);
  gl.BindTexture(GL_TEXTURE_2D, m_white);
  gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  gl.PixelStorei(GL_PACK_ALIGNMENT, 1);
  gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
  return gl.GetError() == GL_NO_ERROR;
}

HRESULT CGLDevice::GetCaps(D3DDEVICEDESC* hardware, D3DDEVICEDESC* emulation) const {
  if (hardware) *hardware = m_hardware;
  if (emulation) *emulation = m_emulation;
  return D3D_OK;
}

HRESULT CGLDevice::EnumTextureFormats(TextureFormatCallback callback, void* context) const {
  if (!callback) return DDERR_INVALIDPARAMS;
  for (const DDPIXELFORMAT& format : m_textureFormats)
    if (!callback(format, context)) break;
  return D3D_OK;
}

HRESULT CGLDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  if (state >= D3DRENDERSTATE_COUNT) return DDERR_INVALIDPARAMS;
  m_renderStates[state] = value;
  return D3D_OK;
}

HRESULT CGLDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) const {
  if (state >= D3DRENDERSTATE_COUNT || !value) return DDERR_INVALIDPARAMS;
  *value = m_renderStates[state];
  return D3D_OK;
}

HRESULT CGLDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (stage >= 2 || type >= D3DTSS_COUNT) return DDERR_INVALIDPARAMS;
  m_stageStates[stage][type] = value;
  return D3D_OK;
}

HRESULT CGLDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) const {
  if (stage >= 2 || type >= D3DTSS_COUNT || !value) return DDERR_INVALIDPARAMS;
  *value = m_stageStates[stage][type];
  return D3D_OK;
}

HRESULT CGLDevice::SetTexture(DWORD stage, IDirectDrawSurface4* texture) {
  if (stage >= 2) return DDERR_INVALIDPARAMS;
  if (texture && !(texture->Caps() & DDSCAPS_TEXTURE)) return DDERR_INVALIDPARAMS;
  m_textures[stage] = texture;
  return D3D_OK;
}

HRESULT CGLDevice::BeginScene() {
  if (m_inScene) return D3DERR_SCENE_IN_SCENE;
  if (!m_target || m_target->IsLost() != DD_OK) return D3DERR_SCENE_BEGIN_FAILED;
  m_inScene = true;
  return D3D_OK;
}

HRESULT CGLDevice::EndScene() {
  if (!m_inScene) return D3DERR_SCENE_NOT_IN_SCENE;
  m_inScene = false;
  return D3D_OK;
}

CGLDevice::Target* CGLDevice::TargetFor(const std::shared_ptr<IDirectDrawSurface4>& surface) {
  DropGoneTargets();
  for (Target& t : m_targets)
    if (t.address == surface.get()) return &t;
  const GLFunctions& gl = glctx::GL();
  Target t;
  t.surface = surface;
  t.address = surface.get();
  const GLsizei w = static_cast<GLsizei>(surface->Width()), h = static_cast<GLsizei>(surface->Height());
  gl.GenTextures(1, &t.colour);
  gl.BindTexture(GL_TEXTURE_2D, t.colour);
  gl.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  gl.GenRenderbuffers(1, &t.depth);
  gl.BindRenderbuffer(GL_RENDERBUFFER, t.depth);
  gl.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, w, h);
  gl.GenFramebuffers(1, &t.fbo);
  gl.BindFramebuffer(GL_FRAMEBUFFER, t.fbo);
  gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.colour, 0);
  gl.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t.depth);
  if (gl.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    OutputDebugStringA("GLDevice: incomplete frame buffer\n");
  } else {
    gl.ClearDepth(1.0);
    gl.Clear(GL_DEPTH_BUFFER_BIT);
  }
  m_targets.push_back(t);
  return &m_targets.back();
}

void CGLDevice::DeleteTarget(Target& target) {
  const GLFunctions& gl = glctx::GL();
  gl.DeleteFramebuffers(1, &target.fbo);
  gl.DeleteTextures(1, &target.colour);
  gl.DeleteRenderbuffers(1, &target.depth);
}

void CGLDevice::DropGoneTargets() {
  for (size_t i = m_targets.size(); i-- > 0;)
    if (m_targets[i].surface.expired()) {
      DeleteTarget(m_targets[i]);
      m_targets.erase(m_targets.begin() + static_cast<ptrdiff_t>(i));
    }
}

void CGLDevice::ReadBack(Target& target) {
  if (!target.drawnSince) return;
  const std::shared_ptr<IDirectDrawSurface4> held = target.surface.lock();
  if (!held) return;
  IDirectDrawSurface4& surface = *held;
  if (surface.IsLocked()) return;  // never under a CPU lock; the next sync brings it
  const GLFunctions& gl = glctx::GL();
  gl.BindFramebuffer(GL_FRAMEBUFFER, target.fbo);
  m_readBack.resize(static_cast<size_t>(surface.Width()) * surface.Height() * 4);
  gl.ReadPixels(0, 0, static_cast<GLsizei>(surface.Width()), static_cast<GLsizei>(surface.Height()), GL_RGBA,
                GL_UNSIGNED_BYTE, m_readBack.data());
  FromRgba(m_readBack, surface);
  surface.TouchContent();
  target.knownStamp = surface.ContentStamp();
  target.drawnSince = false;
}

void CGLDevice::TakeUp(Target& target) {
  const std::shared_ptr<IDirectDrawSurface4> held = target.surface.lock();
  if (!held) return;
  IDirectDrawSurface4& surface = *held;
  if (surface.ContentStamp() == target.knownStamp) return;
  const GLFunctions& gl = glctx::GL();
  ToRgba(surface, m_readBack);
  gl.BindTexture(GL_TEXTURE_2D, target.colour);
  gl.TexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(surface.Width()),
                   static_cast<GLsizei>(surface.Height()), GL_RGBA, GL_UNSIGNED_BYTE, m_readBack.data());
  target.knownStamp = surface.ContentStamp();
  target.drawnSince = false;
}

void CGLDevice::SyncToSurface() {
  if (!glctx::MakeCurrent()) return;
  // Every target GL has drawn on since its last read, not only the current one: the CPU may lock
  // the back buffer while a texture is the target.
  DropGoneTargets();
  for (Target& t : m_targets) ReadBack(t);
}

void CGLDevice::SyncFromSurface() {
  // Nothing to do yet: every GL use of a target first takes up what the CPU changed (BindTarget),
  // so a frame the CPU only wrote text on before a full clear is never uploaded at all.
}

void CGLDevice::BindTarget() {
  Target& target = *TargetFor(m_target);
  TakeUp(target);
  const GLFunctions& gl = glctx::GL();
  gl.BindFramebuffer(GL_FRAMEBUFFER, target.fbo);
  gl.Viewport(0, 0, static_cast<GLsizei>(m_target->Width()), static_cast<GLsizei>(m_target->Height()));
  target.drawnSince = true;
}

HRESULT CGLDevice::SetRenderTarget(std::shared_ptr<IDirectDrawSurface4> target) {
  if (!target || !(target->Caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDPARAMS;
  // The old target keeps its drawing in GL until the CPU or a texture stage asks for it.
  m_target = std::move(target);
  return D3D_OK;
}

HRESULT CGLDevice::SetViewport(const D3DVIEWPORT2& viewport) {
  m_viewport = viewport;
  return D3D_OK;
}

HRESULT CGLDevice::GetViewport(D3DVIEWPORT2* viewport) const {
  if (!viewport) return DDERR_INVALIDPARAMS;
  *viewport = m_viewport;
  return D3D_OK;
}

HRESULT CGLDevice::Clear(DWORD rectCount, const D3DRECT* rects, DWORD flags, DWORD colour, float z, DWORD stencil) {
  if (!m_target || !glctx::MakeCurrent()) return D3DERR_INITFAILED;
  if (!(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER))) return D3D_OK;
  const LONG w = static_cast<LONG>(m_target->Width()), h = static_cast<LONG>(m_target->Height());
  if ((flags & D3DCLEAR_TARGET) && rectCount <= 1 &&
      (!rects || !rectCount || (rects[0].x1 <= 0 && rects[0].y1 <= 0 && rects[0].x2 >= w && rects[0].y2 >= h))) {
    // Every pixel is about to be replaced: what the CPU last left in the surface (after a flip,
    // the previous frame) need not be taken up first.
    Target& target = *TargetFor(m_target);
    target.knownStamp = m_target->ContentStamp();
  }
  BindTarget();
  const GLFunctions& gl = glctx::GL();
  gl.ClearColor(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f,
                (colour >> 24) / 255.0f);
  gl.ClearDepth(z);
  gl.DepthMask(GL_TRUE);
  gl.Enable(GL_SCISSOR_TEST);
  const GLbitfield bits = ((flags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                          ((flags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0);
  for (DWORD i = 0; i < std::max<DWORD>(rectCount, 1); ++i) {
    D3DRECT r;
    r.x2 = w;
    r.y2 = h;
    if (rects && rectCount) r = rects[i];
    // Rows are kept in surface order (row 0 at GL's y 0), so the rectangle maps straight across.
    gl.Scissor(r.x1, r.y1, std::max<LONG>(r.x2 - r.x1, 0), std::max<LONG>(r.y2 - r.y1, 0));
    gl.Clear(bits);
  }
  gl.Disable(GL_SCISSOR_TEST);
  return gl.GetError() == GL_NO_ERROR ? D3D_OK : DDERR_GENERIC;
}

unsigned CGLDevice::TextureFor(IDirectDrawSurface4* surface) {
  const GLFunctions& gl = glctx::GL();
  if (!surface) {
    gl.BindTexture(GL_TEXTURE_2D, m_white);
    return m_white;
  }
  // A slot drawn into as a render target brings its pixels to the surface first.
  for (Target& t : m_targets)
    if (t.address == surface && surface != m_target.get()) ReadBack(t);
  // Copies are kept by address and the cache frees and makes surfaces as levels change: past a
  // bound, start again rather than keep copies of surfaces long gone.
  constexpr size_t kMaxTextureCopies = 4096;
  if (m_textureObjects.size() >= kMaxTextureCopies && !m_textureObjects.count(surface)) {
    for (auto& entry : m_textureObjects) gl.DeleteTextures(1, &entry.second.id);
    m_textureObjects.clear();
  }
  Texture& texture = m_textureObjects[surface];
  if (!texture.id) gl.GenTextures(1, &texture.id);
  gl.BindTexture(GL_TEXTURE_2D, texture.id);
  if (texture.serial == surface->Serial() && texture.stamp == surface->ContentStamp()) return texture.id;
  int level = 0;
  for (IDirectDrawSurface4* s = surface; s; s = s->NextMipLevel(), ++level) {
    ToRgba(*s, m_readBack);
    gl.TexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, static_cast<GLsizei>(s->Width()), static_cast<GLsizei>(s->Height()),
                  0, GL_RGBA, GL_UNSIGNED_BYTE, m_readBack.data());
  }
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, level - 1);
  texture.serial = surface->Serial();
  texture.stamp = surface->ContentStamp();
  texture.width = surface->Width();
  texture.height = surface->Height();
  return texture.id;
}

void CGLDevice::ApplyStage(int stage) {
  const GLFunctions& gl = glctx::GL();
  const auto& s = m_stageStates[stage];
  gl.ActiveTexture(GL_TEXTURE0 + stage);
  // A disabled second stage is never read, and the surface left bound to it may be gone.
  const bool used = stage == 0 || s[D3DTSS_COLOROP] != D3DTOP_DISABLE;
  TextureFor(used ? m_textures[stage] : nullptr);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, Addressing(s[D3DTSS_ADDRESSU]));
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, Addressing(s[D3DTSS_ADDRESSV]));
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, s[D3DTSS_MAGFILTER] == D3DTFG_LINEAR ? GL_LINEAR : GL_NEAREST);
  gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, MinFilter(s[D3DTSS_MINFILTER], s[D3DTSS_MIPFILTER]));
  gl.TexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, FloatOf(s[D3DTSS_MIPMAPLODBIAS]));
}

void CGLDevice::ApplyState() {
  const GLFunctions& gl = glctx::GL();
  const auto& r = m_renderStates;
  gl.UseProgram(m_program);
  gl.BindVertexArray(m_vertexArray);
  if (r[D3DRENDERSTATE_ZENABLE] != D3DZB_FALSE) {
    gl.Enable(GL_DEPTH_TEST);
    gl.DepthFunc(GL_LEQUAL);
  } else {
    gl.Disable(GL_DEPTH_TEST);
  }
  gl.DepthMask(r[D3DRENDERSTATE_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
  if (r[D3DRENDERSTATE_ALPHABLENDENABLE]) {
    gl.Enable(GL_BLEND);
    gl.BlendFunc(BlendFactor(r[D3DRENDERSTATE_SRCBLEND]), BlendFactor(r[D3DRENDERSTATE_DESTBLEND]));
  } else {
    gl.Disable(GL_BLEND);
  }
  // Screen rows keep their order in the frame buffer, so a triangle clockwise on screen is
  // counter-clockwise to GL: culling counter-clockwise screen triangles culls GL's back faces.
  if (r[D3DRENDERSTATE_CULLMODE] == D3DCULL_CCW || r[D3DRENDERSTATE_CULLMODE] == D3DCULL_CW) {
    gl.Enable(GL_CULL_FACE);
    gl.FrontFace(GL_CCW);
    gl.CullFace(r[D3DRENDERSTATE_CULLMODE] == D3DCULL_CCW ? GL_BACK : GL_FRONT);
  } else {
    gl.Disable(GL_CULL_FACE);
  }
  gl.PolygonMode(GL_FRONT_AND_BACK, r[D3DRENDERSTATE_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL);
  gl.Uniform2f(m_uniformSize, static_cast<float>(m_target->Width()), static_cast<float>(m_target->Height()));
  const auto& s0 = m_stageStates[0];
  const auto& s1 = m_stageStates[1];
  gl.Uniform1i(m_uniformColourOp, OpOf(s0[D3DTSS_COLOROP]));
  gl.Uniform1i(m_uniformAlphaOp, OpOf(s0[D3DTSS_ALPHAOP]));
  gl.Uniform1i(m_uniformStage1, s1[D3DTSS_COLOROP] == D3DTOP_MODULATE && m_textures[1] ? 1 : 0);
  const DWORD fog = r[D3DRENDERSTATE_FOGCOLOR];
  gl.Uniform1i(m_uniformFog, r[D3DRENDERSTATE_FOGENABLE] ? 1 : 0);
  gl.Uniform4f(m_uniformFogColour, ((fog >> 16) & 0xFF) / 255.0f, ((fog >> 8) & 0xFF) / 255.0f, (fog & 0xFF) / 255.0f,
               1.0f);
  ApplyStage(0);
  ApplyStage(1);
}

HRESULT CGLDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, const void* vertices,
                                        DWORD vertexCount, const uint16_t* indices, DWORD indexCount, DWORD flags) {
  if (!vertices || !indices || !m_target) return DDERR_INVALIDPARAMS;
  if (type != D3DPT_TRIANGLELIST && type != D3DPT_LINELIST) return DDERR_INVALIDPARAMS;
  for (DWORD i = 0; i < indexCount; ++i)
    if (indices[i] >= vertexCount) return DDERR_INVALIDPARAMS;
  if (m_target->IsLost() != DD_OK) return DDERR_SURFACELOST;
  if (!glctx::MakeCurrent()) return D3DERR_INITFAILED;
  BindTarget();
  ApplyState();
  const GLFunctions& gl = glctx::GL();
  // Binding the stages may have read back another target through its frame buffer.
  gl.BindFramebuffer(GL_FRAMEBUFFER, TargetFor(m_target)->fbo);
  gl.BindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
  gl.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexCount) * 40, vertices, GL_STREAM_DRAW);
  gl.BufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexCount) * 2, indices, GL_STREAM_DRAW);
  gl.DrawElements(type == D3DPT_LINELIST ? GL_LINES : GL_TRIANGLES, static_cast<GLsizei>(indexCount),
                  GL_UNSIGNED_SHORT, nullptr);
  return gl.GetError() == GL_NO_ERROR ? D3D_OK : DDERR_GENERIC;
}
