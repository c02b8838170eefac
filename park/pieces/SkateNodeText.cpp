#include "park/pieces/SkateNodeText.h"

#include <cstdlib>
#include <cstring>

#include "park/grid/PathEdgeInfo.h"

namespace {

constexpr uint32_t kKindUnknownWord = 5;

// Splits on white space and the delimiters , { } = and newline; "//" comments run to the line end.
std::vector<std::string> Tokens(const char* text, size_t len) {
  std::vector<std::string> out;
  std::string current;
  auto flush = [&] {
    if (!current.empty()) out.push_back(current);
    current.clear();
  };
  for (size_t i = 0; i < len && text[i] != '\0'; ++i) {
    const char c = text[i];
    if (c == '/' && i + 1 < len && text[i + 1] == '/') {
      flush();
      while (i < len && text[i] != '\0' && text[i] != '\n') ++i;
      if (i >= len || text[i] == '\0') break;
      continue;
    }
    if (c == ',' || c == '{' || c == '}' || c == '=' || c == '\n' || c == ' ' || c == '\t' || c == '\r')
      flush();
    else
      current.push_back(c);
  }
  flush();
  return out;
}

}  // namespace

int SkateNodeKindFromWord(const std::string& word) {
  static const struct {
    const char* word;
    int kind;
  } kKinds[] = {{"grind", 3},       {"ollie", 4},         {"air", 5},           {"pee", 6},
                {"first_aid", 7},   {"cash_machine", 8},  {"buy_food", 9},      {"buy_drink", 10},
                {"buy_tshirt", 11}, {"buy_skateboard", 12}};
  for (const auto& k : kKinds)
    if (word == k.word) return k.kind;
  return -1;
}

int64_t SkateLinkTypeFromWord(const std::string& word) {
  static const struct {
    const char* word;
    uint32_t type;
  } kTypes[] = {{"air", kLinkAir},     {"free_air", kLinkFreeAir},         {"walk", kLinkWalk},
                {"ollie", kLinkOllie}, {"skate", kLinkSkate},              {"skate_to_top", kLinkSkateToTop},
                {"grind_left", kLinkGrindLeft}, {"grind_right", kLinkGrindRight}};
  for (const auto& t : kTypes)
    if (word == t.word) return t.type;
  return -1;
}

bool ParseSkateNodeText(const char* text, size_t len, SkateNodeText& out) {
  out = SkateNodeText();
  if (text == nullptr) return false;
  const std::vector<std::string> tokens = Tokens(text, len);
  size_t i = 0;
  auto next = [&]() -> std::string { return i < tokens.size() ? tokens[i++] : std::string(); };
  std::string word = next();
  if (word == "string") word = next();
  if (word != "skatenode") return false;
  out.number = std::atoi(next().c_str());
  // Node keywords until the first other word.
  word = next();
  for (;;) {
    if (word == "target") {
      out.kind = kKindUnknownWord;
      word = next();
      const int kind = SkateNodeKindFromWord(word);
      if (kind < 0) continue;  // not a kind: read it again as a keyword
      out.kind = static_cast<uint32_t>(kind);
    } else if (word == "external") {
      out.external = true;
    } else if (word == "line") {
      out.line = true;
    } else if (word == "action") {
      out.action = true;
    } else {
      break;
    }
    word = next();
  }
  while (word == "link") {
    SkateNodeLinkText link;
    bool hasDest = false;
    word = next();
    for (;;) {
      if (word == "dest") {
        link.dest = std::atoi(next().c_str());
        hasDest = true;
      } else if (word == "type") {
        const int64_t type = SkateLinkTypeFromWord(next());
        link.type = type >= 0 ? static_cast<uint32_t>(type) : kLinkSkate;
      } else if (word == "diff") {
        link.diff = static_cast<float>(std::atof(next().c_str()));
      } else {
        break;
      }
      word = next();
    }
    if (hasDest) out.links.push_back(link);
  }
  return true;
}
