// AssetPreloader: registers the program's assets in the resource table at start-up (nothing is loaded here).
#pragma once

#include <string>
#include <vector>

class CResourceTable;

// Registers the fixed table of meshes and sounds at their resource numbers, then every texture,
// sound and mesh file found under the data folders that the table does not know yet.
void PreloadAssets(CResourceTable* table);

// The paths (folder + "/" + name) of the files under folder whose names match pattern, with
// recurse set in the subfolders too, sorted byte-wise (upper case before lower case).
void ScanFiles(const char* folder, const char* pattern, std::vector<std::string>& names, bool recurse);

// The walk behind ScanFiles: a folder's own files first, then its subfolders depth first; folders
// whose names begin with '.' are not entered.
void ScanDirectory(const char* folder, const char* pattern, std::vector<std::string>& names, bool recurse);
