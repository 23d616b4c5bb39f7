// Paths of the running program and the temporary folder.
#pragma once

#include <cstddef>

namespace tarn {

// The folder of the program's own executable, without a trailing separator.
// Empty when it cannot be found.
void InstalledPlayerDirectory(char* buffer, size_t size);

// The temporary folder ($TMPDIR, else /tmp), ending with a separator.
// Returns false when it does not fit `size` bytes.
bool TemporaryFolder(char* buffer, size_t size);

}  // namespace tarn
