// MeshFilePatches: the mesh file's curved-patch section, handed to the curved-patch code.
#pragma once

#include <cstddef>
#include <cstdint>

class CCurvedPatches;

namespace MeshFilePatches {

// Creates the patch object from the front of data; `used` receives the section's size.
// Null (logged) when the section cannot be read.
CCurvedPatches* Read(const uint8_t* data, size_t size, size_t& used);
size_t GetFileSize(const CCurvedPatches* patches);
// Writes exactly GetFileSize(patches) bytes.
void Write(const CCurvedPatches* patches, uint8_t* out);
void Delete(CCurvedPatches* patches);

}  // namespace MeshFilePatches
