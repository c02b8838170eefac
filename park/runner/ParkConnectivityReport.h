// The park's connectivity report: a developer's text account of how the placed pieces join the
// grid and each other - pieces, nodes, rings, path components, and the entry points that failed.
#pragma once

#include <string>

class CVerezIvor;

// The report of the park as its last component run left it (nothing is recomputed; only the
// pieces' frames are brought up to date):
//   "Connectivity report" header;
//   "pieces: P placed, N nodes (E external), L links";
//   "rings: J joined (S2 of 2, S3 of 3, S4 of 4, S5 of 5 or more), A nodes alone";
//   "components: C, entrance component: Q squares and K piece nodes" (none without an entrance);
//   one "piece ID \"name\" type T at (x, y): n nodes, e external, j joined, c connected" per piece;
//   "connectivity: c / (e + 1) = value" over the skatable pieces, as the park's score counts it;
//   "failed entries: F", then one "  piece ID \"name\" node #: not joined|not connected at (x, y, z)"
//   per external node that joined nothing or whose ring the entrance cannot reach and leave.
std::string BuildConnectivityReport(CVerezIvor& park);
