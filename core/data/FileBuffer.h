// FileBuffer: whole-file reading into memory, its release, and the recursive
// folder scan that finds asset files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Size of the one read buffer shared by small files; a file is read into it
// when its size is below kFileBufferSharedLimit and it is free.
constexpr uint32_t kFileBufferSharedSize = 400000;
constexpr uint32_t kFileBufferSharedLimit = 399999;

// Reads the whole file. Returns its bytes followed by one NUL byte (so texts
// can be parsed in place) and stores the byte count through sizeOut when given;
// null on failure, after logging the path and the working directory (sizeOut
// is then left unchanged). Release the result with FreeFileBuffer.
char* LoadFileToBuffer(const char* path, uint32_t* sizeOut = nullptr);

// Releases a result of LoadFileToBuffer: the shared buffer is only marked free
// (the next small file reuses it); any other block is freed. Null is ignored.
void FreeFileBuffer(const void* buffer);

// Frees the shared buffer; the next read allocates it again. A result still
// held in it stays valid until that result is passed to FreeFileBuffer.
void ReleaseFileBufferCache();

// Appends to names, as directory + "/" + name, every entry of directory (files
// and folders) that matches pattern, then with recurse set does the same for
// every subfolder whose name does not begin with '.', depth first.
void ScanDirectoryRecursive(const char* directory, const char* pattern, std::vector<std::string>& names,
                            bool recurse);
