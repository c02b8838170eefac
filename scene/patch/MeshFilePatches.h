// MeshFilePatches: the mesh file's curved-patch section, handed to the curved-patch code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class CurvedPatch;

namespace MeshFilePatches {

// Creates the patch object from the front of data; `used` receives the section's size.
// Null (logged) when the section cannot be read.
std::unique_ptr<CurvedPatch> Read(const uint8_t* data, size_t size, size_t& used);
size_t GetFileSize(const CurvedPatch* patches);
// Writes exactly GetFileSize(patches) bytes; false when the patch writer did not.
bool Write(const CurvedPatch* patches, uint8_t* out);

}  // namespace MeshFilePatches
