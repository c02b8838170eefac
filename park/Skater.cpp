#include "park/Skater.h"

#include <algorithm>
#include <cstring>

std::vector<CSkater*>& GetSkaterList() {
  static std::vector<CSkater*> list;
  return list;
}

CSkater::CSkater() { SetFlags(kNetworked | kLocalUpdate); }

CSkater::~CSkater() {
  if (!m_listed) return;
  std::vector<CSkater*>& list = GetSkaterList();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void CSkater::Init(bool created) {
  if (m_listed) return;
  GetSkaterList().push_back(this);
  m_listed = true;
}

void CSkater::SetName(const char* name) {
  std::strncpy(m_name, name != nullptr ? name : "", kNameSize - 1);
  m_name[kNameSize - 1] = '\0';
}
