// EffectsLoaders: plugs the assets of the effects folder into the resource table.
#pragma once


// Makes every resource table load ".psys" files (type code 7) as particle-system definitions. Called once
// by the start-up registration; calling it again changes nothing.
void RegisterEffectsLoaders();
