// Feeds arbitrary bytes to the sized image reader; what loads is stored
// again in both string widths, reloaded and packed, to drive the writer too.
#include <tqxml/tqxml.h>

#include <cstdint>
#include <cstring>

namespace {

void Reload(const tqcore::CXMLObject& tree, bool wide) {
    tqcore::CPMemory image;
    if (tqcore::CXMLObject::Store(image, tree, wide)) tqcore::CXMLObject::Load(image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tqcore::CPMemory image;
    if (size == 0 || !image.Alloc(size)) return 0;
    std::memcpy(static_cast<void*>(image), data, size);
    const tqcore::CXMLObject tree = tqcore::CXMLObject::Load(image);
    if (!tree) return 0;
    Reload(tree, true);
    Reload(tree, false);
    const tqcore::CXMLObject unpacked = tqcore::Cxmpobject(tree);
    return 0;
}
