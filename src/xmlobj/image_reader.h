#pragma once
// The sized image reader: every read is checked against the bytes and the
// strings it was given, so a malformed image gives a failure, never a read
// outside them.
#include <cstddef>
#include <cstdint>

#include "tqxml/xmlimage.h"

namespace tqcore {

class CXMLImageReader {
  public:
    // The tree of the image in `size` bytes at `image`; an empty handle when
    // the image is malformed or memory runs out. Bytes after the last record
    // are ignored.
    static CXMLObject LoadImage(const unsigned char* image, std::size_t size) noexcept;

    // Builds `root` from the records at `cursor`, which lie within `size`
    // bytes and name strings below `count` in `table`, and advances `cursor`
    // past them. On failure `root` keeps the part already built.
    static bool LoadRecords(CXMLObject& root, const unsigned char*& cursor, std::size_t size,
                            const tagSTRINGID* table, std::uint32_t count) noexcept;
};

namespace image {

// The size of the image at `image` as its own structure gives it, found
// through page checks; false when a page it needs cannot be read or the
// image would pass 4 GiB.
bool MeasureImage(const void* image, std::size_t& size) noexcept;

}  // namespace image
}  // namespace tqcore
