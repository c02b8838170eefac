// FileWrite: replacing a whole file so that readers see either the old
// contents or the new ones, never a half-written file.
#pragma once

#include <cstddef>
#include <string>

namespace plat {

// Writes size bytes to a new file beside path and renames it over path (a
// missing path is created). The bytes are flushed to the disk before the
// rename, and every write, the flush and the close are checked, so true means
// the whole contents are in place. On failure the old file is untouched, the
// partial new one is removed and false is returned. Only a regular file (or
// nothing) at path is replaced; the new file is always made new, never opened
// through a link or a pipe left at its name. The path is resolved like
// every data path (ResolvePath), so an existing file of another letter case is
// the one replaced.
bool ReplaceFileContents(const char* path, const void* data, size_t size);

}  // namespace plat
