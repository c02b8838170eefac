#include "core/services/AttachObjectCarrier.h"

#include "core/services/WorldServices.h"

CAttachObjectCarrier::~CAttachObjectCarrier() = default;

size_t CAttachObjectCarrier::CreateAttachObjects(CMeshInstance* instance) {
  m_attachObjects.clear();
  const WorldServices::AttachObjectFactory make = GetWorldServices().createAttachObjects;
  if (instance != nullptr && make != nullptr) make(*this, *instance, m_attachObjects);
  return m_attachObjects.size();
}

void CAttachObjectCarrier::UpdateAttachObjects(float dt) {
  for (const std::unique_ptr<CAttachObject>& object : m_attachObjects) object->Update(dt);
}

void CAttachObjectCarrier::RenderAttachObjects(CSceneDrawInterface* view) {
  if (view == nullptr) return;
  for (const std::unique_ptr<CAttachObject>& object : m_attachObjects) object->Render(view);
}
