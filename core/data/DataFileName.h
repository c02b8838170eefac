// DataFileName: the rule for a file name that a data file gives, to be read beside that file.
#pragma once

// Meshes name their textures, textures their attached texture, catalog lists their category
// files; each such name is joined to the folder of the file that named it. A name that could lead
// out of that folder (".." steps above it, a rooted path, a drive or device prefix) is refused, so
// that damaged or hostile data never has a file read or written outside the data folder. True for
// a name that stays inside; otherwise one line, saying who refused it, goes to the debugger output.
bool IsNameInsideFolder(const char* name, const char* who);
