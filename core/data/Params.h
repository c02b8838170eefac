// Params: readers of key/value definition text ('key = value', flags, quoted
// strings, '{ }' blocks, "//" comments). Each call scans the whole text from
// the start, so readers may be called in any order and any number of times.
// Keys are compared without regard to case; the first occurrence wins unless a
// reader says otherwise. No reader reports anything: a missing key, a key
// without a delimiter or a malformed number gives the stated default.
#pragma once

#include "core/math/Color.h"
#include "core/math/Vector2.h"
#include "core/math/Vector3.h"

#include <optional>
#include <string>
#include <vector>

namespace Params {

// The value token after the key (delimiters "=,"), as a string of its own;
// empty (no value) when the key is absent or followed by no delimiter.
std::optional<std::string> FindKey(const char* text, const char* key);

// The value read as a number (longest numeric prefix, 0 when none); 0 when
// the key is absent or followed by no delimiter.
float ReadFloat(const char* text, const char* key);

// True when the value begins with "true" in any case ('trueish' too; 'yes'
// and '1' are false); false when absent.
bool ReadBool(const char* text, const char* key);

// True when any token of the text is the key (a flag written alone).
bool HasFlag(const char* text, const char* key);

// Up to three numbers, each after its own delimiter ('key = 1, 2, 3');
// components not given repeat the last one read; (0, 0, 0) when absent.
// Whatever token follows a delimiter is converted, so a stray trailing
// delimiter reads one more component: 'pos = 1,' at the end of the text is
// (1, 0, 0), and before a line 'scale = 5' it is (1, 0, 5). The same holds
// for the other list readers below.
Vector3 ReadVector(const char* text, const char* key);

// Up to two numbers, each after its own delimiter; missing ones are 0.
Vector2 ReadVector2(const char* text, const char* key);

// Up to four integers r, g, b, a, each after its own delimiter, each kept as
// its low byte; components not given (and all of them when absent) are 255.
void ReadColor(Color& out, const char* text, const char* key);

// For every occurrence of the key, appends the numbers that follow it, each
// after its own delimiter, up to the first token that is not a delimiter.
void ReadFloatList(const char* text, const char* key, std::vector<float>& list);

// Number of tokens equal to the key; with positions given, appends where in
// the text each occurrence begins.
int FindAll(const char* text, const char* key, std::vector<const char*>* positions = nullptr);

// Index of the first of count names equal (ignoring case) to the key's value
// as FindKey reads it; defaultIndex when none is or the key is absent.
int FindKeyIndex(const char* text, const char* key, const char* const* names, int count, int defaultIndex);

// 'key = "text"': appends the text between the quotes to out (a backslash
// that ends a "\r\n" line joins the next line); true also when the closing
// quote is missing (the text runs to the end); false when no such key exists.
bool ReadString(const char* text, const char* key, std::string& out);

// 'key = { ... }', the n-th occurrence of the key counting from 0: appends the
// text after the opening brace up to and including its matching closing brace
// (nested braces counted) to out; false when no such block exists.
bool ReadBlock(const char* text, const char* key, std::string& out, int n = 0);

}  // namespace Params
