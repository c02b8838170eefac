// ControllerSet: ownership, lookup and the file section of a mesh's controllers.
#include "scene/animation/ControllerSet.h"

#include <cstring>

#include "platform/system/Win32.h"

namespace {

// Smallest controller in the file: name, three floats and four empty tracks.
constexpr size_t kMinControllerSize = CKeyframeController::kNameSize + 12 + 16;

}  // namespace

CKeyframeController* ControllerSet::FindByName(const char* name) const {
  for (const std::unique_ptr<CKeyframeController>& c : m_controllers) {
    if (name && std::strncmp(c->GetName(), name, CKeyframeController::kNameSize) == 0) return c.get();
  }
  return nullptr;
}

void ControllerSet::Clear() {
  m_controllers.clear();
}

size_t ControllerSet::GetFileSize() const {
  size_t size = 8;
  for (const std::unique_ptr<CKeyframeController>& c : m_controllers) size += c->GetFileSize();
  return size;
}

void ControllerSet::Write(uint8_t* out) {
  const uint32_t count = GetCount();
  std::memcpy(out, &m_firstWord, 4);
  std::memcpy(out + 4, &count, 4);
  out += 8;
  for (const std::unique_ptr<CKeyframeController>& c : m_controllers) {
    const size_t size = c->GetFileSize();
    c->Write(out);
    out += size;
  }
}

bool ControllerSet::Read(const uint8_t* data, size_t size, size_t& used) {
  Clear();
  uint32_t firstWord = 0, count = 0;
  if (!data || size < 8) {
    OutputDebugStringA("ControllerSet: section truncated\n");
    return false;
  }
  std::memcpy(&firstWord, data, 4);
  std::memcpy(&count, data + 4, 4);
  if (static_cast<uint64_t>(count) * kMinControllerSize > size - 8) {
    OutputDebugStringA("ControllerSet: controller count larger than the section\n");
    return false;
  }
  size_t offset = 8;
  for (uint32_t i = 0; i < count; ++i) {
    auto c = std::make_unique<CKeyframeController>();
    size_t one = 0;
    if (!c->Read(data + offset, size - offset, one)) {
      c.reset();
      Clear();
      OutputDebugStringA("ControllerSet: bad controller\n");
      return false;
    }
    m_controllers.push_back(std::move(c));
    offset += one;
  }
  m_firstWord = firstWord;
  used = offset;
  return true;
}
