#include "core/world/ObjectFactory.h"

void CObjectFactory::Register(uint32_t typeCode, Create create) {
  if (create == nullptr)
    m_types.erase(typeCode);
  else
    m_types[typeCode] = create;
}

std::unique_ptr<CGameObject> CObjectFactory::Make(uint32_t typeCode) const {
  auto it = m_types.find(typeCode);
  return it != m_types.end() ? it->second() : nullptr;
}

CObjectFactory& GetObjectFactory() {
  static CObjectFactory factory;
  return factory;
}

std::unique_ptr<CGameObject> CreateGameObject(uint32_t typeCode) { return GetObjectFactory().Make(typeCode); }
