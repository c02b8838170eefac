// RegisterSoundLoaders: plugs the sound folder's asset loaders (WAVE samples) into the resource table.
#pragma once

// Registers the loader of asset type kResourceSound for every table.
void RegisterSoundLoaders();
