// FileSystem: reading files and listing folders of the data tree. The data
// names use backslashes as often as '/' and their letter case need not match
// the names on disk, so every path given here is resolved first (ResolvePath).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// The path with every backslash turned into '/'. When that exact path does not
// exist, each component is looked up case-insensitively (ASCII) in its parent
// folder; the first match in byte-wise order wins. Components from the first
// one that matches nothing are kept as given, so the result of a missing file
// still names it (for messages, or for creating it in an existing folder).
std::string ResolvePath(const char* path);

// True for an existing regular file (after resolution).
bool FileExists(const char* path);

// The file a path names, whatever the spelling ("a.ini", "./a.ini", ".//A.INI", a link to it):
// two paths to one file have equal identities.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator<(const FileIdentity& o) const { return device != o.device ? device < o.device : inode < o.inode; }
  bool operator==(const FileIdentity& o) const { return device == o.device && inode == o.inode; }
};
// False (out untouched) when the path, after resolution, names no existing file or folder.
bool GetFileIdentity(const char* path, FileIdentity& out);
// True for an existing folder (after resolution).
bool DirectoryExists(const char* path);

// True when name matches pattern: '*' any run of characters, '?' any one
// character, letters compared without regard to case; "*.*" matches every name.
bool MatchWildcard(const char* pattern, const char* name);

struct DirectoryEntry {
  std::string name;   // the name on disk, without the folder
  bool isDirectory;   // a folder, or a link to one
};

// Appends the entries of directory whose names match pattern, sorted
// byte-wise; "." and ".." are never listed. False (nothing appended) when the
// folder cannot be opened.
bool ListDirectory(const char* directory, const char* pattern, std::vector<DirectoryEntry>& out);

// One regular file open for reading; closed by Close or the destructor.
class CReadFile {
 public:
  CReadFile() = default;
  ~CReadFile();
  CReadFile(const CReadFile&) = delete;
  CReadFile& operator=(const CReadFile&) = delete;

  // Opens an existing regular file (folders, pipes and devices are refused, without waiting).
  bool Open(const char* path);
  bool IsOpen() const { return fd_ >= 0; }
  // The size in bytes, or -1 when no file is open.
  int64_t Size() const;
  // Reads up to count bytes, retrying short and interrupted reads; returns
  // the number of bytes read (less than count only at the end or on an error).
  size_t Read(void* buffer, size_t count);
  void Close();

 private:
  int fd_ = -1;
};

}  // namespace plat
