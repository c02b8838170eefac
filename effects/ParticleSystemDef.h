// CParticleSystemDef: a particle-system definition, the ".psys" asset of the resource table.
#pragma once

#include <memory>
#include <string>

// The definition is kept as its definition text: the particle systems read their keys from it
// with the definition-text readers whenever they are set up, in any order and as often as they
// like, so nothing is decoded ahead of them.
class CParticleSystemDef {
 public:
  // Null for a null text and for one that holds no token at all (empty, blank or only
  // comments): such a file defines nothing. The text is copied; the caller keeps its buffer.
  static std::unique_ptr<CParticleSystemDef> Read(const char* text);

  // NUL-terminated, valid as long as the definition.
  const char* GetText() const { return m_text.c_str(); }

 private:
  explicit CParticleSystemDef(std::string text) : m_text(std::move(text)) {}

  std::string m_text;
};
