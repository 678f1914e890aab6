#pragma once
// Putting output bytes in place without ever leaving a broken file.
#include <cstddef>
#include <string>

namespace tqxmltool {

struct Written {
    bool ok = false;
    std::string problem;  // why not, when not ok
};

// Replaces the regular file `path` (or creates it) with `data`: written to a
// temporary file beside it, flushed to disk and renamed over it only when
// every step succeeded. On failure `path` is as it was and nothing is left
// behind. A symbolic link keeps pointing at the replaced file. A device or
// FIFO is written directly.
Written ReplaceFile(const std::string& path, const void* data, std::size_t size);

}  // namespace tqxmltool
