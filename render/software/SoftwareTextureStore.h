// CSoftwareTextureStore: the software back end's converted textures, the palette they share and
// the "%stexture%i.bin" cache files that carry both between runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/software/SoftwarePalette.h"
#include "render/software/SoftwareTexture.h"

class CTexture;

class CSoftwareTextureStore {
 public:
  static constexpr size_t kMaxTextures = 512;
  static constexpr size_t kHeaderBytes = 8 + CSoftwarePalette::kBlockBytes;
  static constexpr size_t kRecordHeaderBytes = 36;

  // The program's one store.
  static CSoftwareTextureStore& Instance();

  CSoftwarePalette& GetPalette() { return m_palette; }
  const CSoftwarePalette& GetPalette() const { return m_palette; }
  size_t GetCount() const { return m_textures.size(); }
  const CSoftwareTexture* GetTexture(size_t i) const { return m_textures[i].get(); }

  // The converted copy for the texture: the stored one of the same name, else a new conversion
  // of its mip level `level` (its pixels, or its file loaded again when it keeps none). Null for
  // a texture without a name or pixels, or when the store is full. Sets the texture's device
  // pointer. Converted copies live until the store is emptied.
  CSoftwareTexture* ConvertTexture(CTexture& texture, uint32_t level = 0);
  // The stored texture of that name (compared without letter case); one read from a file that
  // stored no names matches on the hash alone.
  CSoftwareTexture* Find(const std::string& name) const;
  void Clear() { m_textures.clear(); }
  void Add(std::unique_ptr<CSoftwareTexture> texture) { m_textures.push_back(std::move(texture)); }

  // "<prefix>texture<detail>.bin", detail capped at 2.
  static std::string CacheFileName(const char* prefix, int detail);
  // Reads the level's cache file. A missing or broken file logs why, falls back to the default
  // palette and answers false; the textures are kept unless they were converted against
  // another palette.
  bool LoadCached(const char* prefix, int detail);
  // Replaces palette and textures with the file image; false (logged, store unchanged) when
  // any count, size or record does not fit the bytes.
  bool ReadCache(const uint8_t* data, size_t size);
  // The file image of the palette and every stored texture, names appended after the records.
  std::vector<uint8_t> EncodeCache() const;
  // Developer command: chooses one palette for all the named textures, then converts them at
  // details 0, 1 and 2 and writes the three cache files. The store ends up holding the detail-0
  // copies. False when a file could not be written.
  bool CacheSoftwareTextures(const std::vector<CTexture*>& textures, const char* prefix);

 private:
  std::vector<std::unique_ptr<CSoftwareTexture>> m_textures;
  CSoftwarePalette m_palette;
};
