// DataFileName: the rule for a file name that a data file gives, to be read beside that file.
#pragma once

// Meshes name their textures, textures their attached texture, catalog lists their category
// files; each such name is joined to the folder of the file that named it. A name that could
// lead out of that folder (".." steps above it, a rooted path, a drive or device prefix) is refused, so
// damaged or hostile data never reads or writes a file outside the data folder. True for a name
// that stays inside; otherwise one line goes to the debugger output, saying who refused it.
bool IsNameInsideFolder(const char* name, const char* who);
