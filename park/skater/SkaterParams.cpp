#include "park/skater/SkaterParams.h"

SkaterParams::SkaterParams()
    : values{0.45f,    -9.8f, 0.3f, 0.5f, 1.047093f, 0.707f,   4.0f, 2.5f, 3.0f, 0.4f,  // 0-9
             0.05f,    0.55f, 3.0f, 6.0f, 1.0f,      3.0f,     0.1f, 0.3f, 1.0f, 0.5f,  // 10-19
             2.0f,     4.0f,  1.0f, 1.3f, 0.5f,      0.5f,     3.0f, 0.471239f, 1.413717f, 8.0f,  // 20-29
             1.0f,                                                                   // 30
             40.0f,    0.0f,  2.5f, 1.0f, 8.0f,      1.5f,     5.0f, 5.0f,           // walking 31-38
             15.0f,    -2.0f, 6.0f, 3.0f, 8.0f,      2.5f,     0.1f, 4.0f,           // skating 39-46
             8.0f,     -0.5f, 4.0f, 2.0f, 2.0f,      2.0f,     0.0f, 8.0f,           // grinding 47-54
             0.0f,     -4.0f, 5.0f, 0.0f, 0.0f,      0.0f,     1.0f, 1.0f} {}        // crashed 55-62
