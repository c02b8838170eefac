// The park's piece scores (variety, connectivity, capacity) and the side effects of placing or
// lifting a piece on the skaters around it.
#pragma once

struct Box;
class CVerezIvor;

// Each over the placed skatable sections (definition type below 10, never the terrain).
float ComputeVariety(const CVerezIvor& park);
float ComputeConnectivity(const CVerezIvor& park);
float ComputeCapacity(const CVerezIvor& park);
// Writes the three scores into the park state; after every placement and pick-up.
void UpdateParkScores(CVerezIvor& park);
// After a piece with that box is placed (placed true) or picked up: skaters inside it are lifted
// on top and decide again; skaters whose route crosses it decide again.
void ReplanSkatersAroundObject(CVerezIvor& park, const Box& pieceBox, bool placed);
