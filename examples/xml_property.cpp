// A host keeps a layer's settings as a tree in an XML property; a cache
// parser watches every property as it is stored; a handler shows a colour
// property of another library as XML and rebuilds it from that XML.
#include <tqxml/tqxml.h>

#include <cstdio>
#include <string>

#include "tqcore/wtext.h"

using namespace tqcore;

namespace {

// {6B1F0C52-8E0B-4C7B-A2D4-3C5E7F901A11}: the host's layer settings.
constexpr GUID kLayerSettings{
    0x6B1F0C52, 0x8E0B, 0x4C7B, {0xA2, 0xD4, 0x3C, 0x5E, 0x7F, 0x90, 0x1A, 0x11}};
// {D7E8F901-2345-4678-9ABC-DEF012345678}: a colour property, three bytes R, G, B.
constexpr GUID kColourKind{
    0xD7E8F901, 0x2345, 0x4678, {0x9A, 0xBC, 0xDE, 0xF0, 0x12, 0x34, 0x56, 0x78}};

CPPoolString PS(const char16_t* text) {
    return CStringPool::GetStringRef(W(text));
}

std::string Narrow(const CPPoolString& text) {
    std::string out;
    for (const char16_t* p = text.c16(); p && *p; ++p) out += *p < 0x80 ? char(*p) : '?';
    return out;
}

// The cache parser: here it only tells what it sees. It could also change
// the header, for example stamp dwDataParam.
void LayerCacheParser(tagXMLPROPERTY& header, const CXMLObject& tree) {
    std::printf("cache parser: <%s name=\"%s\">, signature %08X, data param %u\n",
                Narrow(tree.GetName()).c_str(), Narrow(tree.FindAttribute(PS(u"name"))).c_str(),
                CPXMLProperty::GetSignature(header.guidMain, header.guidSub), header.dwDataParam);
}

bool ColourToXML(CPProperty& prop, CXMLObject& node) {
    if (prop.GetSize() != 3) return false;
    const auto* rgb = static_cast<const unsigned char*>(static_cast<void*>(prop));
    return node.printfAttribute(PS(u"r"), W(u"%u"), rgb[0]) &&
           node.printfAttribute(PS(u"g"), W(u"%u"), rgb[1]) &&
           node.printfAttribute(PS(u"b"), W(u"%u"), rgb[2]);
}

bool ColourFromXML(CPProperty& prop, CXMLObject& node) {
    const char16_t* names[] = {u"r", u"g", u"b"};
    if (!prop.Alloc(3)) return false;
    auto* rgb = static_cast<unsigned char*>(static_cast<void*>(prop));
    for (int i = 0; i < 3; ++i) {
        const unsigned int value = node.FindAttributeUInt(PS(names[i]), 256);
        if (value > 255) return false;
        rgb[i] = static_cast<unsigned char>(value);
    }
    prop.SetPropertyID(3, kColourKind);
    return true;
}

}  // namespace

int main() {
    CPXMLProperty::RegisterCacheParser(&LayerCacheParser, nullptr);
    CXMLPropHandler::Register({kColourKind, &ColourToXML, &ColourFromXML});

    // The host stores its settings; the parser sees them on the way in.
    CXMLObject layer(PS(u"Layer"));
    layer.AddAttribute(PS(u"name"), PS(u"Background"));
    layer.printfTag(PS(u"Opacity"), W(u"%g"), 0.75);
    CPXMLProperty settings;
    if (!settings.SetPropertyID(1, layer, kLayerSettings, nullptr, 0, 42)) return 1;
    std::printf("stored: %llu bytes, read back: %s\n",
                static_cast<unsigned long long>(settings.GetSize()),
                Narrow(settings.GetPropertyData().GetContent()).c_str());

    // A colour property of another library, shown as XML and rebuilt.
    CPProperty colour;
    if (!colour.Alloc(3)) return 1;
    auto* rgb = static_cast<unsigned char*>(static_cast<void*>(colour));
    rgb[0] = 0x20, rgb[1] = 0x80, rgb[2] = 0xFF;
    colour.SetPropertyID(3, kColourKind);
    const tagXMLPROPHANDLER* handler = CXMLPropHandler::FindHandler(kColourKind);
    CXMLObject shown(PS(u"Colour"));
    if (!handler->pfnGetXMLContent(colour, shown)) return 1;
    std::printf("colour as XML: %s\n", Narrow(shown.GetContent()).c_str());
    CPProperty rebuilt;
    if (!handler->pfnSetXMLContent(rebuilt, shown)) return 1;
    const auto* back = static_cast<const unsigned char*>(static_cast<void*>(rebuilt));
    std::printf("rebuilt colour: %02X %02X %02X\n", back[0], back[1], back[2]);

    // A kind without a handler of its own gets the default one.
    CPProperty unknown;
    unknown.Alloc(2);
    static_cast<unsigned char*>(static_cast<void*>(unknown))[0] = 0x12;
    static_cast<unsigned char*>(static_cast<void*>(unknown))[1] = 0xAB;
    const GUID kUnknown{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    CXMLObject dump(PS(u"Unknown"));
    CXMLPropHandler::FindHandler(kUnknown)->pfnGetXMLContent(unknown, dump);
    std::printf("unknown kind: %s\n", Narrow(dump.GetContent()).c_str());

    CXMLPropHandler::Unregister({kColourKind, &ColourToXML, &ColourFromXML});
    CPXMLProperty::UnregisterCacheParser(&LayerCacheParser);
    return 0;
}
