// CResourceTable: the table of loaded assets, looked up by name (filled in by the asset-loading work).
#pragma once

class CGameWorld;

class CResourceTable {
 public:
  CResourceTable() = default;
  virtual ~CResourceTable() = default;
  void SetWorld(CGameWorld* world) { m_world = world; }
  // The loaded object of that name, or null. Nothing is loaded through this table yet.
  virtual void* FindByName(const char* name) { return nullptr; }
  // Frees what the current level loaded (every world clear).
  virtual void ReleaseLevelResources() {}

 protected:
  CGameWorld* m_world = nullptr;
};
