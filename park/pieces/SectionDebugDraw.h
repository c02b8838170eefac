// SectionDebugDraw: the park's debug pictures of a placed piece - its links by type, its nodes by
// ring size and kind, its bounds and its placement flash - drawn as 3D lines.
#pragma once

#include <cstdint>

class CGrid;
class CSceneDrawInterface;
class CSkatableSection;

// Colours are words with bytes b, g, r, a (0xAARRGGBB); 0 means "draw nothing".
uint32_t LinkDebugColour(uint32_t linkType);
uint32_t RingSizeDebugColour(int ringSize);
uint32_t NodeKindDebugColour(uint32_t kind);

// Links whose two ends belong to the park: air-like types as arcs, walks raised a little,
// the others straight.
void DrawSectionLinks(CSceneDrawInterface& view, const CSkatableSection& section, const CGrid& grid);
// Each node: a small box by ring size (none when alone), then a large box by kind.
void DrawSectionNodes(CSceneDrawInterface& view, const CSkatableSection& section);
// A cross in the flash colour on every joined node that belongs to the park.
void DrawSectionFlash(CSceneDrawInterface& view, const CSkatableSection& section, const CGrid& grid);
