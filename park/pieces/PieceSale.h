// Selling a piece back: the one way money returns from the park's pieces.
#pragma once

#include <cstdint>

class CVerezIvor;

// Sells the section or facility with this id, placed or held: a placed one is lifted first (its
// squares, rings, path components, the skaters around it and the scores all let go of it); its
// resale value goes to the park's money and resale total; a sponsor piece frees its sponsorship
// slot; the object is marked for removal. The level's terrain is never sold. False, with nothing
// changed, when there is nothing to sell under that id.
bool SellPiece(CVerezIvor& park, uint32_t sectionId);
