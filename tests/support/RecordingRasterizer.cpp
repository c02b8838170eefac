// RecordingRasterizer: records each interface call and answers like a plain in-memory back end.
#include "tests/support/RecordingRasterizer.h"

#include <cstdio>
#include <map>

#include "render/view/RenderView.h"
#include "scene/mesh/MeshSection.h"

namespace {

std::string B(bool v) { return v ? "1" : "0"; }
std::string U(uint32_t v) { return std::to_string(v); }
std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", v);
  return text;
}
std::string Name(const std::string& call) { return call.substr(0, call.find('(')); }

}  // namespace

RecordingRasterizer::RecordingRasterizer(uint32_t width, uint32_t height, RasterizerKind kind)
    : CRasterizerInterface(kind), frame(static_cast<size_t>(width) * height, 0) {
  m_desc = DescribePacked555(frame.data(), width, height);
}

int RecordingRasterizer::Count(const std::string& name) const {
  int n = 0;
  for (const auto& c : calls)
    if (Name(c) == name) ++n;
  return n;
}

int RecordingRasterizer::IndexOf(const std::string& call, int from) const {
  for (size_t i = from < 0 ? 0 : static_cast<size_t>(from); i < calls.size(); ++i)
    if (calls[i] == call) return static_cast<int>(i);
  return -1;
}

void RecordingRasterizer::Reserved1(uint32_t a, uint32_t b) { Record("Reserved1(" + U(a) + "," + U(b) + ")"); }
PixelBufferDesc* RecordingRasterizer::GetBackBufferDesc() {
  Record("GetBackBufferDesc");
  return &m_desc;
}
PixelBufferDesc* RecordingRasterizer::LockBackBuffer() {
  Record("LockBackBuffer");
  ++lockDepth;
  return &m_desc;
}
void RecordingRasterizer::UnlockBackBuffer() {
  Record("UnlockBackBuffer");
  --lockDepth;
}
PixelBufferDesc* RecordingRasterizer::LockFrontBuffer() {
  Record("LockFrontBuffer");
  return nullptr;
}
void RecordingRasterizer::UnlockFrontBuffer() { Record("UnlockFrontBuffer"); }
PixelBufferDesc* RecordingRasterizer::LockZBuffer() {
  Record("LockZBuffer");
  return nullptr;
}
void RecordingRasterizer::UnlockZBuffer() { Record("UnlockZBuffer"); }
long RecordingRasterizer::GetBackBufferDC(HDC* dc) {
  Record("GetBackBufferDC");
  if (dc) *dc = nullptr;
  return -1;
}
long RecordingRasterizer::ReleaseBackBufferDC(HDC) {
  Record("ReleaseBackBufferDC");
  return -1;
}
long RecordingRasterizer::GetFrontBufferDC(HDC* dc) {
  Record("GetFrontBufferDC");
  if (dc) *dc = nullptr;
  return -1;
}
long RecordingRasterizer::ReleaseFrontBufferDC(HDC) {
  Record("ReleaseFrontBufferDC");
  return -1;
}
void RecordingRasterizer::SaveScreenShot(const char* path) { Record(std::string("SaveScreenShot(") + path + ")"); }
void RecordingRasterizer::Reserved14(uint32_t a) { Record("Reserved14(" + U(a) + ")"); }
uint32_t RecordingRasterizer::Reserved15(uint32_t a) {
  Record("Reserved15(" + U(a) + ")");
  return 0;
}
void RecordingRasterizer::Reserved16(uint32_t a) { Record("Reserved16(" + U(a) + ")"); }
void RecordingRasterizer::Reserved17() { Record("Reserved17"); }
void RecordingRasterizer::SetScene(FogState* fog) { Record(std::string("SetScene(") + (fog ? "fog" : "null") + ")"); }
bool RecordingRasterizer::SetRenderTarget(CTexture* target, uint32_t, uint32_t, uint32_t) {
  Record("SetRenderTarget");
  return false;
}
bool RecordingRasterizer::BeginScene(ViewFrustum* camera, uint32_t) {
  Record("BeginScene");
  return beginSceneResult;
}
void RecordingRasterizer::DrawTriangles(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                                        uint32_t triangleCount, CTexture* texture, CTexture* lightMap,
                                        float drawFactor) {
  Record("DrawTriangles(" + U(vertexCount) + "," + U(triangleCount) + ")");
  Draw d;
  if (vertices) d.vertices.assign(vertices, vertices + vertexCount);
  if (indices) d.indices.assign(indices, indices + 3 * static_cast<size_t>(triangleCount));
  d.texture = texture;
  d.lightMap = lightMap;
  d.drawFactor = drawFactor;
  draws.push_back(std::move(d));
}
void RecordingRasterizer::DrawLines(ScreenVertex* vertices, uint32_t vertexCount, const uint16_t* indices,
                                    uint32_t lineCount) {
  Record("DrawLines(" + U(vertexCount) + "," + U(lineCount) + ")");
  Draw d;
  if (vertices) d.vertices.assign(vertices, vertices + vertexCount);
  if (indices) d.indices.assign(indices, indices + 2 * static_cast<size_t>(lineCount));
  d.lines = true;
  draws.push_back(std::move(d));
}

std::vector<ScreenVertex> RecordingRasterizer::TriangleCorners() const {
  std::vector<ScreenVertex> out;
  for (const Draw& d : draws) {
    if (d.lines) continue;
    for (uint16_t i : d.indices)
      if (i < d.vertices.size()) out.push_back(d.vertices[i]);
  }
  return out;
}
std::string RecordingRasterizer::Transcript() const {
  std::map<const CTexture*, size_t> ids{{nullptr, 0}};
  auto id = [&ids](const CTexture* t) { return ids.emplace(t, ids.size()).first->second; };
  std::string out;
  char line[200];
  size_t next = 0;
  for (const std::string& call : calls) {
    out += call + "\n";
    if ((Name(call) != "DrawTriangles" && Name(call) != "DrawLines") || next == draws.size()) continue;
    const Draw& d = draws[next++];
    std::snprintf(line, sizeof(line), "  texture %zu, light map %zu, factor %g, indices", id(d.texture), id(d.lightMap),
                  d.drawFactor);
    out += line;
    for (uint16_t i : d.indices) out += " " + U(i);
    for (const ScreenVertex& v : d.vertices) {
      std::snprintf(line, sizeof(line), "\n  %g %g %g %g %08X %08X %g %g %g %g", v.x, v.y, v.z, v.rhw, v.diffuse,
                    v.specular, v.u, v.v, v.u2, v.v2);
      out += line;
    }
    out += "\n";
  }
  return out;
}
bool RecordingRasterizer::IsVertexBufferAvailable() {
  Record("IsVertexBufferAvailable");
  return vertexBuffers;
}
bool RecordingRasterizer::DrawQueuedBuffer(CMeshInstance* instance, uint32_t stage) {
  Record("DrawQueuedBuffer(" + U(stage) + ")");
  bufferedInstances.push_back(instance);
  return stage == 1 ? acceptBuffers : true;
}
void RecordingRasterizer::FillVertexBuffer(CMeshSection* section, CRenderView* view) {
  Record("FillVertexBuffer");
  if (!section || !view) return;
  const std::vector<MeshFaceGroup>& groups = section->GetGroups();
  for (size_t g = 0; g < groups.size(); ++g)
    view->QueueBufferRange(sectionKey, static_cast<uint32_t>(g), static_cast<uint32_t>(groups[g].faces.size()));
}
void RecordingRasterizer::DrawBufferRange(uint32_t a, uint32_t b) {
  Record("DrawBufferRange(" + U(a) + "," + U(b) + ")");
}
void RecordingRasterizer::SetGamma(float) { Record("SetGamma"); }
void RecordingRasterizer::Clear(bool depth, bool target, uint32_t colour) {
  Record("Clear(" + B(depth) + "," + B(target) + "," + Hex(colour) + ")");
}
void RecordingRasterizer::PresentFrame() { Record("PresentFrame"); }
void RecordingRasterizer::EndScene() { Record("EndScene"); }
void RecordingRasterizer::SetFogEnable(bool on) { Record("SetFogEnable(" + B(on) + ")"); }
void RecordingRasterizer::SetFogColour(uint32_t colour) { Record("SetFogColour(" + Hex(colour) + ")"); }
void RecordingRasterizer::SetPerspectiveCorrection(bool on) { Record("SetPerspectiveCorrection(" + B(on) + ")"); }
void RecordingRasterizer::SetBilinearFilter(bool on) { Record("SetBilinearFilter(" + B(on) + ")"); }
void RecordingRasterizer::SetBackfaceCulling(bool on) {
  Record("SetBackfaceCulling(" + B(on) + ")");
  m_culling = on;
}
bool RecordingRasterizer::GetBackfaceCulling() {
  Record("GetBackfaceCulling");
  return m_culling;
}
void RecordingRasterizer::SetZWrite(bool on) { Record("SetZWrite(" + B(on) + ")"); }
void RecordingRasterizer::SetZBufferMode(ZBufferMode mode, bool preferW) {
  Record("SetZBufferMode(" + std::to_string(static_cast<int>(mode)) + "," + B(preferW) + ")");
}
void RecordingRasterizer::SetClipping(bool on) { Record("SetClipping(" + B(on) + ")"); }
void RecordingRasterizer::SetTextureFiltering(bool on) { Record("SetTextureFiltering(" + B(on) + ")"); }
void RecordingRasterizer::SetOption41(bool on) { Record("SetOption41(" + B(on) + ")"); }
void RecordingRasterizer::Reserved42(uint32_t a) { Record("Reserved42(" + U(a) + ")"); }
void RecordingRasterizer::SetFillMode(bool wireframe) { Record("SetFillMode(" + B(wireframe) + ")"); }
void RecordingRasterizer::ReleaseAllTextures() { Record("ReleaseAllTextures"); }
void RecordingRasterizer::ReleaseTextureSurfaces() { Record("ReleaseTextureSurfaces"); }
bool RecordingRasterizer::IsWindowed() {
  Record("IsWindowed");
  return windowed;
}
uint32_t RecordingRasterizer::GetUserValue() {
  Record("GetUserValue");
  return CRasterizerInterface::GetUserValue();
}
bool RecordingRasterizer::LoadTexture(CTexture*, uint32_t) {
  Record("LoadTexture");
  return false;
}
bool RecordingRasterizer::SelectTexture(CTexture*) {
  Record("SelectTexture");
  return false;
}
void RecordingRasterizer::Reserved50(uint32_t a, uint32_t b) { Record("Reserved50(" + U(a) + "," + U(b) + ")"); }
bool RecordingRasterizer::LockTexture(CTexture*, PixelBufferDesc** desc) {
  Record("LockTexture");
  return false;
}
void RecordingRasterizer::UnlockTexture(CTexture*) { Record("UnlockTexture"); }
void RecordingRasterizer::Reserved53(uint32_t a, uint32_t b) { Record("Reserved53(" + U(a) + "," + U(b) + ")"); }
