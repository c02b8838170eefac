#include "park/VerezIvor.h"

#include <cstring>

#include "core/ObjectFactory.h"
#include "core/WorldAccess.h"
#include "render/RasterizerInterface.h"
#include "render/RenderView.h"

namespace {
constexpr int kSlowMotionKey = 0xC0;  // the key left of the 1 key
constexpr char kLabelStart = 0x01;    // markers the status label interprets around its text
constexpr char kLabelEnd = 0x02;

bool KeyHeld(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }
}  // namespace

CVerezIvor* GetWorld() { return dynamic_cast<CVerezIvor*>(GetGameWorld()); }

CVerezIvor* GetPark() { return GetWorld(); }

CGrid* GetParkGrid() {
  const CVerezIvor* park = GetWorld();
  return park != nullptr ? park->GetGrid() : nullptr;
}

CVerezIvor::CVerezIvor(HWND window, HINSTANCE instance) : CGameWorld(window, instance) {}

CVerezIvor::~CVerezIvor() {
  CGameWorld::ClearWorld();
  // The grid belongs to the park simulation, which deletes it with the park once it exists; the
  // shutdown path clears this reference first.
  m_grid = nullptr;
}

void CVerezIvor::HandleMessage(uint32_t senderID, const uint8_t* message) { CGameWorld::HandleMessage(senderID, message); }

void CVerezIvor::ClearWorld() { CGameWorld::ClearWorld(); }

CGameObject* CVerezIvor::CreateObject(uint32_t typeCode) { return CreateGameObject(typeCode); }

void CVerezIvor::SetStatusText(const char* text) {
  if (text == nullptr || text[0] == '\0') {
    m_statusText[0] = '\0';
    return;
  }
  // Cut to the room the label has, never past it.
  size_t length = std::strlen(text);
  if (length > kMaxStatusLength) length = kMaxStatusLength;
  m_statusText[0] = kLabelStart;
  std::memcpy(m_statusText + 1, text, length);
  m_statusText[length + 1] = kLabelEnd;
  m_statusText[length + 2] = '\0';
}

void CVerezIvor::DrawOverlay(CRenderView* view, PixelBufferDesc** locked) {
  // The status label's drawing comes with the interface work; the text is kept for it in
  // m_statusText, and nothing is drawn for it yet.
  CGameWorld::DrawOverlay(view, locked);
}

void CVerezIvor::Simulate(float dt) {
  // Slow motion for watching the simulation closely; independent of the debug keys.
  if (KeyHeld(kSlowMotionKey)) {
    dt *= 0.25f;
    if (KeyHeld('1')) dt *= 0.5f;
  }
  UpdateObjects(dt);
}

void CVerezIvor::RenderScene(CRenderView* view, PixelBufferDesc** locked) {
  CRasterizerInterface* r = view != nullptr ? view->GetRasterizer() : nullptr;
  if (locked != nullptr && *locked != nullptr && r != nullptr && r->GetUserValue() == 0) {
    r->UnlockBackBuffer();
    *locked = nullptr;
  }
  CGameWorld::RenderScene(view, locked);
}
