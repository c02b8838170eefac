#include "park/ParkScores.h"

float ComputeVariety(const CVerezIvor&) { return 0.0f; }
float ComputeConnectivity(const CVerezIvor&) { return 0.0f; }
float ComputeCapacity(const CVerezIvor&) { return 0.0f; }
void UpdateParkScores(CVerezIvor&) {}
void ReplanSkatersAroundObject(CVerezIvor&, const Box&, bool) {}
