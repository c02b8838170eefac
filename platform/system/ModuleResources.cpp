// Module resources kept in memory, per module, for the lifetime of the process or until cleared.
#include "platform/system/ModuleResources.h"

#include <strings.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct LibraryHandle {};

struct ModuleResource {
  HMODULE module;
  bool numberedName, numberedType;
  std::string name, type;  // text, or the number's digits
  std::vector<uint8_t> bytes;
};

namespace {

LibraryHandle g_programModule;

struct ResourceStore {
  std::mutex lock;
  std::vector<std::unique_ptr<ModuleResource>> resources;
};

ResourceStore& Store() {
  static ResourceStore* store = new ResourceStore();  // lives for the whole process
  return *store;
}

HMODULE Own(HMODULE module) { return module != nullptr ? module : &g_programModule; }

std::string Key(const char* name) {
  return IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<uintptr_t>(name)) : std::string(name);
}

bool Same(const std::string& stored, bool numbered, const char* asked) {
  if (numbered != IS_INTRESOURCE(asked)) return false;
  return numbered ? stored == Key(asked) : strcasecmp(stored.c_str(), asked) == 0;
}

ModuleResource* Find(HMODULE module, const char* name, const char* type) {
  for (const std::unique_ptr<ModuleResource>& r : Store().resources)
    if (r->module == module && Same(r->name, r->numberedName, name) && Same(r->type, r->numberedType, type))
      return r.get();
  return nullptr;
}

bool Known(HMODULE module, HRSRC resource) {
  for (const std::unique_ptr<ModuleResource>& r : Store().resources)
    if (r.get() == resource && r->module == module) return true;
  return false;
}

}  // namespace

HMODULE GetModuleHandleA(const char* name) { return name == nullptr ? &g_programModule : nullptr; }

HRSRC FindResourceA(HMODULE module, const char* name, const char* type) {
  // A null number is no name at all.
  if (name == nullptr || type == nullptr) return nullptr;
  std::lock_guard<std::mutex> hold(Store().lock);
  return Find(Own(module), name, type);
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  std::lock_guard<std::mutex> hold(Store().lock);
  return resource != nullptr && Known(Own(module), resource) ? resource : nullptr;
}

void* LockResource(HGLOBAL loaded) {
  if (loaded == nullptr) return nullptr;
  auto* resource = static_cast<ModuleResource*>(loaded);
  return resource->bytes.empty() ? nullptr : resource->bytes.data();
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  std::lock_guard<std::mutex> hold(Store().lock);
  return resource != nullptr && Known(Own(module), resource) ? static_cast<DWORD>(resource->bytes.size()) : 0;
}

namespace plat {

bool AddModuleResource(HMODULE module, const char* name, const char* type, const void* data, size_t size) {
  if (name == nullptr || type == nullptr || (data == nullptr && size != 0)) return false;
  std::lock_guard<std::mutex> hold(Store().lock);
  module = Own(module);
  if (Find(module, name, type) != nullptr) return false;
  Store().resources.push_back(std::make_unique<ModuleResource>());
  ModuleResource* resource = Store().resources.back().get();
  resource->module = module;
  resource->numberedName = IS_INTRESOURCE(name);
  resource->numberedType = IS_INTRESOURCE(type);
  resource->name = Key(name);
  resource->type = Key(type);
  const auto* bytes = static_cast<const uint8_t*>(data);
  resource->bytes.assign(bytes, bytes + size);
  return true;
}

void ClearModuleResources(HMODULE module) {
  std::lock_guard<std::mutex> hold(Store().lock);
  module = Own(module);
  std::vector<std::unique_ptr<ModuleResource>>& all = Store().resources;
  for (size_t i = all.size(); i-- > 0;)
    if (all[i]->module == module) all.erase(all.begin() + static_cast<std::ptrdiff_t>(i));
}

}  // namespace plat
