#include "effects/ParticleSystemDef.h"

#include <utility>

#include "core/data/Tokenizer.h"

std::unique_ptr<CParticleSystemDef> CParticleSystemDef::Read(const char* text) {
  if (!text) return nullptr;
  // The same tokenizer settings as the definition-text readers, so "holds a token" means what
  // they would see.
  CTokenizer tokens(text, "=,", "//", 256);
  if (*tokens.NextToken() == '\0') return nullptr;
  return std::unique_ptr<CParticleSystemDef>(new CParticleSystemDef(text));
}
