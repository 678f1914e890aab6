#pragma once
// The one way tests reach a node's private adders and its body.
#include "tqcore/pool.h"
#include "tqxml/xmlobj.h"

namespace tqcore {

struct CXMLObjectTestAccess {
    // The private adders, which take a name or value in any text width.
    template <class Text>
    static bool setNameType(CXMLObject& o, const Text* name, unsigned int type) {
        return o.setNameType(name, type);
    }
    template <class Text>
    static bool addAttribute(CXMLObject& o, const Text* name, const Text* value) {
        return o.addAttribute(name, value);
    }
    static bool addUtf8(CXMLObject& o, const unsigned char* text) { return o.Add(text); }
    static bool isValidName(const char* name) { return CXMLObject().IsValidName(name); }
    static bool isValidName(const unsigned short* name) { return CXMLObject().IsValidName(name); }

    // The body as it is, whatever the node type.
    static const CXMLObject* Children(const CXMLObject& node, unsigned int& count) {
        count = 0;
        return node.m_pO ? node.m_pO->m_Elements.GetArray(count) : nullptr;
    }
    static CPPoolString Data(const CXMLObject& node) {
        return node.m_pO ? node.m_pO->m_Data : CPPoolString();
    }
};

}  // namespace tqcore
