// PathSkills: the skill values of the skater a path search plans for, which set the edge costs.
#pragma once

struct PathSkills {
  float air = 0.0f;
  float ollie = 0.0f;
  float grind = 0.0f;
  float skating = 0.0f;
};
