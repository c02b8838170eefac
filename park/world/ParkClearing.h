// ClearParkContents: empties a running park down to its ground - what a new game starts from and
// what a saved game is loaded onto.
#pragma once

class CVerezIvor;

// Deletes every placed piece but the level's terrain section and every skater at once (no object
// runs an update), then leaves the grid as a new game has it: each square lists the terrain alone,
// nothing is reserved or marked near a piece, and the terrain's nodes stay joined to the squares.
// Sponsorship slots whose sponsor piece went drop it (-1); the player drives no skater. A held
// piece is the controller's to sell or delete first: it is not in the park.
void ClearParkContents(CVerezIvor& park);
