// Storing a tree into an XML property: the image goes behind room for the
// header, the header is written in front of it, and the cache parsers see
// both before the property takes them over.
#include "tqxml/xmlprop.h"
#include "xmlprop/prop_reports.h"

namespace tqcore {
namespace {

constexpr std::uint64_t kHeaderSize = sizeof(tagXMLPROPERTY);

unsigned char* PayloadOf(CPProperty& prop) noexcept {
    return static_cast<unsigned char*>(static_cast<void*>(prop));
}

}  // namespace

void* CPropertyNewDelete::New(std::uint64_t size) {
    if (size == 0 || size > ~std::uint64_t{0} - kHeaderSize || !m_prop.Alloc(size + kHeaderSize))
        return nullptr;
    return PayloadOf(m_prop) + kHeaderSize;
}

void CPropertyNewDelete::Delete(void* block) {
    if (m_prop && block == PayloadOf(m_prop) + kHeaderSize) m_prop.Free();
}

bool CPXMLProperty::adoptStored(CPropertyNewDelete& store, std::uint32_t type,
                                const tagXMLPROPERTY& header, const CXMLObject& tree,
                                const char* missingPayload) noexcept {
    CPProperty& stored = store.Property();
    stored.CPProperty::SetPropertyID(type, GUID_XMLPROPERTY);
    if (!TQXMLPROP_ASSUME(stored.GetSize() > kHeaderSize, missingPayload)) return false;
    tagXMLPROPERTY* room = static_cast<tagXMLPROPERTY*>(static_cast<void*>(stored));
    *room = header;
    CacheParse(*room, tree);
    CPProperty::operator=(stored);
    return true;
}

bool CPXMLProperty::SetPropertyID(std::uint32_t type, const CXMLObject& tree, const GUID& guidMain,
                                  const GUID* guidSub, std::uint32_t idParam,
                                  std::uint32_t dataParam) noexcept {
    Free();
    const bool emptyTree = TQXMLPROP_EXCLUDE(tree.IsDefault(), "xmlPropertyData.IsDefault()");
    const bool nullMain = TQXMLPROP_EXCLUDE(guidMain == GUID_NULL, "guidMain == GUID_NULL");
    if (emptyTree || nullMain) return false;
    CPropertyNewDelete store;
    if (!CXMLObject::Store(store, tree, true)) return false;
    const tagXMLPROPERTY header{static_cast<std::uint32_t>(kHeaderSize), guidMain,
                                guidSub ? *guidSub : GUID_NULL, idParam, dataParam};
    return adoptStored(store, type, header, tree, "pProp");
}

bool CPXMLProperty::SetPropertyData(const CXMLObject& tree, std::uint32_t dataParam) noexcept {
    // A payload too short for a header counts as none.
    const tagXMLPROPERTY* old = header();
    const bool emptyTree = TQXMLPROP_EXCLUDE(tree.IsDefault(), "xmlPropertyData.IsDefault()");
    const bool noPayload = TQXMLPROP_EXCLUDE(!old, "!pProp");
    if (emptyTree || noPayload) {
        Free();
        return false;
    }
    CPropertyNewDelete store;
    if (!CXMLObject::Store(store, tree, true)) return false;
    tagXMLPROPERTY renewed = *old;
    renewed.dwDataParam = dataParam;
    return adoptStored(store, GetPropertyType(), renewed, tree, "pProp2");
}

}  // namespace tqcore
