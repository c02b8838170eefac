// FractalTerrain: random rough square height-field meshes made by recursive midpoint displacement.
#pragma once

#include <cstdint>
#include <memory>

#include "core/math/Vector3.h"

class CTextureProperties;
class ShadedMesh;

// Grids finer than this would need more vertices than 16-bit face indices can address
// (2^8 + 1 = 257 vertices a side is 66049 vertices).
constexpr uint32_t kMaxFractalTerrainLevels = 7;

// A (2^levels + 1)-square grid over box = {min x, y, z, max x, y, z}: corners at random
// heights in [min z, max z], then midpoint displacement with the given roughness, moved
// straight up when alongZ is set and along each square's own normal otherwise. The mesh
// takes one texture (textures[0], may be null) and an all-zero face attribute array.
// Returns the new mesh, or null (logged) for a null box or more levels than kMaxFractalTerrainLevels.
std::unique_ptr<ShadedMesh> GenerateFractalTerrain(const float* box, float roughness, uint32_t levels,
                                                   CTextureProperties* const* textures, bool alongZ);

// One square of the recursion: corners (x, y), (x + 2h, y), (x, y + 2h), (x + 2h, y + 2h) of
// a rowLength-square grid of positions (grid point (i, j) is positions[j * rowLength + i]).
// Sets the four side midpoints and the centre, then recurses into the quadrants with half
// the roughness while h is above 1. False (logged, nothing written) when the square does not
// lie within the grid or h is 0.
bool DisplaceTerrainMidpoints(Vector3* positions, uint32_t x, uint32_t y, uint32_t half, uint32_t rowLength,
                              float range, float roughness, bool alongZ);
