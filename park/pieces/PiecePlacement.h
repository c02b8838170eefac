// The park's side of putting a held piece down and lifting a placed one: the piece's own set-up,
// then what the rest of the park must learn of it (sponsorship slot, path components, skaters in
// the way, scores, near-piece marks). The controller adds its own cursor and lighting work around
// these.
#pragma once

#include <cstdint>

class CVerezIvor;

// Puts the held piece with this id down. False, with nothing changed, when the id names no held
// section of the park.
bool PlacePieceInPark(CVerezIvor& park, uint32_t sectionId);
// Lifts the placed piece with this id so that it can be moved or sold. False, with nothing
// changed, when the id names no placed section of the park or names the level's terrain.
bool LiftPieceFromPark(CVerezIvor& park, uint32_t sectionId);
// Marks afresh the squares near every placed piece (after a load, whose pieces arrive without
// their marks).
void RecomputeNearPieceMarks(CVerezIvor& park);
