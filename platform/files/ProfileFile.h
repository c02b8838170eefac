// CProfileFile: one INI file read and indexed once, so that a reader asking many keys of it (the
// object catalogs) pays for one parse; GetPrivateProfileStringA asks one question of a fresh one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/system/Win32.h"

class CProfileFile {
 public:
  // Larger files are no INI files of ours: they read as empty.
  static constexpr size_t kMaxFileSize = size_t{1} << 26;

  CProfileFile() = default;
  // Reads the file (its name resolved as every platform file's is). A missing file, a folder or a
  // file above kMaxFileSize reads as an empty one.
  explicit CProfileFile(const char* fileName);

  // Replaces the contents with text read as a whole file. Lines end at CR, LF or CR LF and lose
  // their surrounding blanks; a line starting with ';' is a comment; "[name]" starts a section
  // (a '[' line without ']' is an ordinary line of the current section); "key=value" lines inside
  // a section hold its keys, values losing one pair of matching quotes.
  void Parse(std::string text);

  // Every section header, empty names included.
  size_t GetSectionCount() const { return m_sections.size(); }

  // GetPrivateProfileStringA asked of this file. The value of key in the first [section] that
  // holds it (names trimmed and compared without regard to case; sections of one name read as
  // one, so a long category's [Object110] and [object110] both count), else the default (null
  // reads as empty; trailing spaces, not tabs, dropped, then one pair of matching quotes), cut to
  // size - 1 characters. A null section gives every section name, a null key every key name of
  // the section, as a list of NUL-terminated names closed by one more NUL; a list too long for the
  // buffer is cut to size - 2 characters followed by two NULs, and size - 2 is the result. A
  // missing section or one without keys lists the default instead. Returns the characters
  // written before the final NUL.
  DWORD GetString(const char* section, const char* key, const char* defaultValue, char* buffer, DWORD size) const;

 private:
  struct Span {
    size_t at = 0;
    size_t length = 0;
  };
  struct KeyLine {
    size_t section;  // index of its header
    Span name;
    Span value;
  };

  void AddLine(Span line);
  void BuildIndex();
  int Compare(Span a, const std::string& b) const;
  int Compare(Span a, Span b) const;
  // The first header named section, or npos.
  size_t FindSection(const std::string& section) const;
  DWORD ListSections(char* buffer, DWORD size) const;
  DWORD ListKeys(size_t section, const char* defaultValue, char* buffer, DWORD size) const;

  std::string m_text;
  std::vector<Span> m_sections;        // every header's name, in file order
  std::vector<size_t> m_firstOfName;   // per header: the first header of the same name
  std::vector<size_t> m_sectionOrder;  // headers by name; file order among equal names
  std::vector<KeyLine> m_keys;         // in file order
  std::vector<size_t> m_keyOrder;      // keys by (first header of their section, name); file order among equals
};
