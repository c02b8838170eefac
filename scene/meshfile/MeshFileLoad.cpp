// Loading a mesh family from its files (mapped or copied) and saving it back.
#include <vector>

#include "core/data/DataFileName.h"
#include "core/data/DebugPrintf.h"
#include "core/data/ResourceTable.h"
#include "platform/files/FileSystem.h"
#include "scene/mesh/ShadedMesh.h"
#include "scene/mesh/TextureFactory.h"

void ShadedMesh::LogOpenFailure(const char* filePath) const {
  char cwd[1024] = {};
  GetCurrentDirectoryA(sizeof(cwd), cwd);
  DebugPrintf("Error Loading File: \"%s\" - Check path and file name!\n\t\t\t\tCurrent Working Directory: %s\n", filePath,
              cwd);
}

bool ShadedMesh::LoadMapped(const char* filePath) {
  HANDLE file = plat::OpenFileForMapping(filePath);
  if (!file) {
    LogOpenFailure(filePath);
    return false;
  }
  HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_COPY, 0, 0, 0) : nullptr;
  const int64_t size = plat::GetMappingHandleSize(mapping);
  // Parse releases the mesh first (closing any handles it holds), so the new ones are
  // stored only once it has succeeded.
  if (!view || size <= 0 || !Parse(static_cast<const uint8_t*>(view), static_cast<size_t>(size), true)) {
    if (view) UnmapViewOfFile(view);
    if (mapping) plat::CloseMappingHandle(mapping);
    plat::CloseMappingHandle(file);
    return false;
  }
  // The mapping keeps the file's contents reachable on its own, so the file handle is closed
  // at once: a level of mapped meshes then holds one descriptor per mesh, not two.
  plat::CloseMappingHandle(file);
  m_mapping = mapping;
  m_view = view;
  return true;
}

bool ShadedMesh::LoadCopied(const char* filePath) {
  // The whole file is read into one block that the mesh keeps; its arrays are used in place
  // from there, which saves copying every array a second time.
  plat::CReadFile file;
  if (!file.Open(filePath)) {
    LogOpenFailure(filePath);
    return false;
  }
  const int64_t size = file.Size();
  if (size <= 0 || static_cast<uint64_t>(size) > SIZE_MAX / 2) return false;
  std::unique_ptr<uint8_t[]> image(new uint8_t[static_cast<size_t>(size)]);
  if (file.Read(image.get(), static_cast<size_t>(size)) != static_cast<size_t>(size)) {
    DebugPrintf("ShadedMesh: short read of \"%s\"\n", filePath);
    return false;
  }
  file.Close();
  if (!Parse(image.get(), static_cast<size_t>(size), true)) return false;
  m_image = std::move(image);
  return true;
}

void ShadedMesh::LoadChildren() {
  for (size_t i = 0; i < children.size(); ++i) {
    const std::string childPath = ChildFileName(path, static_cast<uint32_t>(i));
    children[i] = std::make_unique<ShadedMesh>();
    ShadedMesh* child = children[i].get();
    child->parent = this;
    child->textureOwner = textureOwner;
    if (childPath.empty() || !child->Load(childPath.c_str(), this, 0, true, true, false)) {
      // It stays in the list as an empty mesh that is marked as not loaded, so it is never
      // saved over its file.
      DebugPrintf("ShadedMesh: child %u of \"%s\" did not load\n", static_cast<unsigned>(i), path.c_str());
      child->m_loaded = false;
    }
  }
}

bool ShadedMesh::Load(const char* filePath, ShadedMesh* parentMesh, uint32_t resource, bool mapped, bool loadTextures,
                      bool textureOption) {
  if (!filePath) return false;
  parent = parentMesh;
  textureOwner = parentMesh ? parentMesh->textureOwner : this;
  const bool ok = mapped ? LoadMapped(filePath) : LoadCopied(filePath);
  // Parse clears the path with the rest of the mesh, so it is set afterwards.
  path = filePath;
  resourceId = resource;
  if (!ok) {
    m_loaded = false;
    return false;
  }
  if (!parent && loadTextures) LoadTextures(!textureOption);
  LoadChildren();
  if (!parent && (flags & kFlagNeedsRewrite)) {
    DebugPrintf("Updating Mesh File: %s\n", path.c_str());
    flags &= ~kFlagNeedsRewrite;
    const std::string target = path;
    Save(target.c_str(), nullptr);
  }
  return true;
}

void ShadedMesh::SaveTextures(const std::string& folder) const {
  OutputDebugStringA("ShadedMesh: Writing Textures To File...\n");
  const CTextureFactory* factory = CTextureFactory::Get();
  for (size_t i = 0; i < textures.size(); ++i) {
    if (!textures[i] || i >= textureNames.size() || textureNames[i].empty()) continue;
    if (!IsNameInsideFolder(textureNames[i].c_str(), "ShadedMesh")) continue;
    std::string file = folder + "/" + textureNames[i];
    if (file.size() > kMaxTexturePath) file.resize(kMaxTexturePath);
    // A texture not written leaves the mesh file good: it is reported and the save goes on.
    if (!factory || !factory->SaveTexture(*textures[i], file.c_str()))
      DebugPrintf("ShadedMesh: texture \"%s\" of \"%s\" not written\n", file.c_str(), path.c_str());
  }
}

bool ShadedMesh::Save(const char* filePath, ShadedMesh* parentMesh) {
  if (!filePath) return false;
  path = filePath;
  if (header != kVersion && m_loaded) {
    OutputDebugStringA("Updating Mesh To Current Version!\n");
    header = kVersion;
  }
  bool ok = true;
  // The root writes the family's textures beside the file; children share them.
  if (!parentMesh) SaveTextures(FolderOf(path));
  const size_t size = GetFileSize();
  std::vector<uint8_t> buffer(size);
  if (Serialize(buffer.data(), buffer.size()) != size) {
    ok = false;
  } else if (!plat::ReplaceFileContents(filePath, buffer.data(), size)) {
    DebugPrintf("Error Creating File: '%s' - Check Path and File Attributes!\n", filePath);
    ok = false;
  }
  for (size_t i = 0; i < children.size(); ++i) {
    ShadedMesh* child = children[i].get();
    const std::string childPath = ChildFileName(path, static_cast<uint32_t>(i));
    if (!child || !child->IsLoaded() || childPath.empty()) {
      DebugPrintf("ShadedMesh: child %u of \"%s\" not saved (not loaded)\n", static_cast<unsigned>(i), filePath);
      ok = false;
      continue;
    }
    ok = child->Save(childPath.c_str(), this) && ok;
  }
  return ok;
}

namespace {

ShadedMesh::ResourceBuilder g_resourceBuilder = nullptr;

// Resource-table loader of mesh files. Rigid-body models and vehicle definitions built from
// meshes belong to their own subsystems, which look at the mesh through the builder.
ResourceOwner LoadMeshResource(const ResourceLoadRequest& request, uint16_t& typeCode) {
  auto mesh = std::make_unique<ShadedMesh>();
  const uint32_t options = request.meshLoadOptions;
  if (!mesh->Load(request.path, nullptr, static_cast<uint32_t>(request.detail), (options & 1) != 0,
                  (options & 2) == 0, (options & 4) != 0)) {
    return ResourceOwner();
  }
  typeCode = kResourceMesh;
  if (g_resourceBuilder) {
    uint16_t built = kResourceMesh;
    if (ResourceOwner object = g_resourceBuilder(mesh, built)) {
      typeCode = built;
      return object;
    }
  }
  return MakeResourceOwner(std::move(mesh));
}

}  // namespace

void ShadedMesh::SetResourceBuilder(ResourceBuilder builder) { g_resourceBuilder = builder; }

ShadedMesh* ShadedMesh::FromResource(CResourceTable* table, int index) {
  // Only the mesh loader yields the mesh type code, so the cast is of what it made.
  return table != nullptr ? static_cast<ShadedMesh*>(table->GetResourceOfType(index, kResourceMesh)) : nullptr;
}

ShadedMesh* ShadedMesh::FromResource(CResourceTable* table, const char* name) {
  return table != nullptr ? FromResource(table, table->FindByName(name)) : nullptr;
}

void ShadedMesh::RegisterResourceLoader() { CResourceTable::RegisterLoader(kResourceMesh, LoadMeshResource); }
