// EqualNoCase and CompareNoCase: ASCII comparisons of names and keywords that ignore case.
#pragma once

#include <cctype>
#include <cstddef>
#include <cstdint>

// True when a and b are the same text apart from letter case.
inline bool EqualNoCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
  return *a == *b;
}

// Like the C library's case-blind comparison of at most n characters: 0 when equal, else the
// difference of the first differing lower-cased characters.
inline int CompareNoCase(const char* a, const char* b, size_t n = SIZE_MAX) {
  for (size_t i = 0; i < n; ++i) {
    const int ca = std::tolower(static_cast<unsigned char>(a[i]));
    const int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb || ca == 0) return ca - cb;
  }
  return 0;
}
