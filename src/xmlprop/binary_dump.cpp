// The default handler's XML form of a payload: its size and two hexadecimal
// digits per byte, low four bits first.
#include <cstdint>

#include "module/module.h"
#include "tqcore/wtext.h"
#include "tqxml/xmlprop.h"
#include "xmlobj/value_forms.h"

namespace tqcore {
namespace {

// The value of a hexadecimal digit of either case, or -1.
int DigitValue(unsigned short c) noexcept {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return -1;
}

bool DecodePayload(const unsigned short* text, std::uint32_t bytes,
                   unsigned char* payload) noexcept {
    for (std::uint32_t i = 0; i < bytes; ++i) {
        const int low = DigitValue(text[2 * i]);
        const int high = DigitValue(text[2 * i + 1]);
        if (low < 0 || high < 0) return false;
        payload[i] = static_cast<unsigned char>(low | high << 4);
    }
    return true;
}

}  // namespace

bool CXMLPropHandler::GetXMLContent(CPProperty& prop, CXMLObject& node) noexcept {
    if (!node) return false;
    const std::uint64_t bytes = prop.GetSize();
    node.AddAttribute(module::PropertyStorageTypeString(), module::BinaryDumpString());
    node.printfAttribute(module::PropertyStorageSizeString(), W(u"%u"),
                         static_cast<std::uint32_t>(bytes));
    // The size attribute holds 32 bits; a larger payload has no XML form.
    if (bytes > 0xFFFFFFFFu || !CountAllocation()) return false;
    const valueforms::ByteText text(static_cast<const unsigned char*>(static_cast<void*>(prop)),
                                    static_cast<unsigned int>(bytes));
    if (!text.c_str()) return false;
    node.Add(text.c_str());
    return true;
}

bool CXMLPropHandler::SetXMLContent(CPProperty& prop, CXMLObject& node) noexcept {
    prop.Free();
    if (node.FindAttribute(module::PropertyStorageTypeString()) != module::BinaryDumpString())
        return false;
    const std::uint32_t bytes =
        node.FindAttributeUInt(module::PropertyStorageSizeString(), 0xFFFFFFFFu);
    if (bytes == 0xFFFFFFFFu) return false;
    if (bytes == 0) return true;
    const CPPoolString text = node.GetData();
    if (text.len() / 2 < bytes || !prop.Alloc(bytes)) return false;
    if (DecodePayload(text, bytes, static_cast<unsigned char*>(static_cast<void*>(prop))))
        return true;
    prop.Free();
    return false;
}

}  // namespace tqcore
