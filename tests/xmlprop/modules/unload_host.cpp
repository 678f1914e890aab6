// A host module of the library: it registers handlers and a cache parser
// and leaves them registered, so that the library's unload has to take
// them down.
#include "tqcore/wtext.h"
#include "tqxml/xmlprop.h"

using namespace tqcore;

namespace {

bool NoContent(CPProperty&, CXMLObject&) {
    return false;
}

constexpr GUID kHandledKinds[] = {
    {0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}},
    {0x2, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}},
    {0x3, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}},
};

}  // namespace

// Registers the handlers and `parser` (from the main program), stores a tree
// in a property, which runs the parser, and shows a property through the
// default handler. True when every step worked.
extern "C" __attribute__((visibility("default"))) bool xmlprop_host_register(
    XMLCACHEPARSER parser) {
    bool ok = true;
    for (const GUID& kind : kHandledKinds)
        ok &= CXMLPropHandler::Register({kind, &NoContent, &NoContent});
    ok &= CPXMLProperty::RegisterCacheParser(parser, nullptr);

    CXMLObject tree(CStringPool::GetStringRef(W(u"Tree")));
    CPXMLProperty stored;
    ok &= stored.SetPropertyID(1, tree, kHandledKinds[0], nullptr, 0, 0);

    CPProperty raw;
    ok &= raw.Alloc(3);
    CXMLObject node(CStringPool::GetStringRef(W(u"Raw")));
    ok &= CXMLPropHandler::GetXMLContent(raw, node);
    return ok;
}
