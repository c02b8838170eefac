// SkateNodeText: the "skatenode" text an artist puts on a piece's mesh attach point - one path
// node of the piece with its kind, flags and the links that leave it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SkateNodeLinkText {
  int dest = 0;
  uint32_t type = 4;  // skate unless a type word says otherwise
  float diff = 0.0f;  // read, never used: difficulty comes from the geometry
};

struct SkateNodeText {
  int number = 0;
  uint32_t kind = 0;
  bool external = false;
  bool line = false;
  bool action = false;
  std::vector<SkateNodeLinkText> links;
};

// Parses len bytes of text (a NUL ends it early). False for a text that is not a skatenode text.
bool ParseSkateNodeText(const char* text, size_t len, SkateNodeText& out);
// The node kind of a word after "target"; -1 for a word that is no kind.
int SkateNodeKindFromWord(const std::string& word);
// The link type of a word after "type"; -1 for an unknown word.
int64_t SkateLinkTypeFromWord(const std::string& word);
