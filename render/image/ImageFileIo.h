// ImageFileIo: whole-file reads and writes for the image and texture files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// The whole file in a new block followed by 20 zero bytes; null when it cannot be opened or
// read (size is then 0).
std::unique_ptr<uint8_t[]> ReadImageFile(const char* path, size_t* size);
// Creates (or replaces) the file with the bytes; false, with the engine's "Error Creating File"
// line, when it cannot be created or fully written.
bool WriteImageFile(const char* path, const void* data, size_t size);
