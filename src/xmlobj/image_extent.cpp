// The size of an image handed over without one: its header, strings and
// records are walked through page checks, so an image that runs into
// unreadable memory is refused instead of faulting.
#include "parser/guarded_read.h"
#include "xmlobj/image_format.h"
#include "xmlobj/image_reader.h"

namespace tqcore::image {
namespace {

constexpr std::uint64_t kMaxImageBytes = std::uint64_t{1} << 32;
constexpr std::size_t kPageBytes = 4096;

class GuardedImage {
  public:
    explicit GuardedImage(const void* image) noexcept : m_reader(image) {}

    // Checks that [offset, offset + bytes) can be read, page by page, and
    // copies the first `copy` of those bytes into `out`.
    bool Take(std::uint64_t offset, std::uint64_t bytes, unsigned char* out = nullptr,
              std::size_t copy = 0) noexcept {
        if (offset + bytes > kMaxImageBytes) return false;
        unsigned char byte = 0;
        for (std::uint64_t at = offset; at < offset + bytes; at += kPageBytes)
            if (!m_reader.Byte(static_cast<std::size_t>(at), byte)) return false;
        if (bytes && !m_reader.Byte(static_cast<std::size_t>(offset + bytes - 1), byte))
            return false;
        for (std::size_t i = 0; i < copy; ++i)
            if (!m_reader.Byte(static_cast<std::size_t>(offset + i), out[i])) return false;
        return true;
    }
    // Bytes of the zero-terminated string at `offset`, terminator included.
    bool StringBytes(std::uint64_t offset, unsigned int unitBytes, std::uint64_t& bytes) noexcept {
        std::size_t units = 0;
        if (offset >= kMaxImageBytes ||
            !m_reader.Measure(static_cast<std::size_t>(offset), unitBytes, 0x7FFFFFFF, units))
            return false;
        bytes = (std::uint64_t{units} + 1) * unitBytes;
        return true;
    }

  private:
    parser::GuardedReader m_reader;
};

}  // namespace

bool MeasureImage(const void* image, std::size_t& size) noexcept {
    GuardedImage guarded(image);
    unsigned char bytes[CXMLImageHeader::kBytes];
    if (!guarded.Take(0, sizeof bytes, bytes, sizeof bytes)) return false;
    const CXMLImageHeader header = DecodeHeader(bytes);
    const unsigned int unitBytes = header.uFlags & CXMLImageHeader::kUtf8Strings ? 1 : 2;
    std::uint64_t offset = header.uHeaderSize;
    for (std::uint32_t i = 0; i < header.uStringCount; ++i) {
        std::uint64_t stringBytes = 0;
        if (!guarded.StringBytes(offset, unitBytes, stringBytes)) return false;
        offset += stringBytes;
    }
    // Pre-order: every record announces its children, which follow it.
    for (std::uint64_t pending = 1; pending > 0; --pending) {
        if (!guarded.Take(offset, CXMLImageNode::kBytes, bytes, CXMLImageNode::kBytes))
            return false;
        const CXMLImageNode node = DecodeNode(bytes);
        offset += CXMLImageNode::kBytes;
        const std::uint64_t attribBytes =
            std::uint64_t{node.uAttribCount} * CXMLImageAttrib::kBytes;
        if (!guarded.Take(offset, attribBytes)) return false;
        offset += attribBytes;
        if (!(node.uContent & CXMLImageNode::kDataFlag)) pending += node.uContent;
    }
    size = static_cast<std::size_t>(offset);
    return true;
}

}  // namespace tqcore::image
