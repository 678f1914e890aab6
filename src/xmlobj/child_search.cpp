// Searches among a node's children: forwards and backwards by name and one
// further criterion, and counting by name.
#include <utility>

#include "tqxml/xmlnode.h"

namespace tqcore {
namespace {

bool AnyChild(const CXMLObject&) {
    return true;
}

bool HasAttributeValue(const CXMLObject& child, const CPPoolString& attribute,
                       const CPPoolString& value) {
    unsigned int count;
    const CXMLAttribute* items = child.GetAttributes(count);
    for (unsigned int i = 0; i < count; ++i) {
        if (items[i].GetName() == attribute && items[i].GetValue() == value) return true;
    }
    return false;
}

}  // namespace

template <class Test>
const CXMLObject* CXMLObject::searchChildren(const CPPoolString& name, const CXMLObject* start,
                                             bool forward, Test test) const {
    unsigned int count = 0;
    // Children also of a node that has data beside them.
    const CXMLObject* items = m_pO ? m_pO->m_Elements.GetArray(count) : nullptr;
    if (!items || count == 0) return nullptr;
    if (start && (start < items || start >= items + count)) return nullptr;  // not from this list
    const auto matches = [&](std::size_t i) { return items[i].IsName(name) && test(items[i]); };
    if (forward) {
        for (std::size_t i = start ? static_cast<std::size_t>(start - items) + 1 : 0; i < count;
             ++i)
            if (matches(i)) return &items[i];
    } else {
        for (std::size_t i = start ? static_cast<std::size_t>(start - items) : count; i-- > 0;)
            if (i < count && matches(i)) return &items[i];
    }
    return nullptr;
}

const CXMLObject* CXMLObject::FindNextElement(const CPPoolString& name,
                                              const CXMLObject* start) const {
    return searchChildren(name, start, true, AnyChild);
}
const CXMLObject* CXMLObject::FindPrevElement(const CPPoolString& name,
                                              const CXMLObject* start) const {
    return searchChildren(name, start, false, AnyChild);
}

const CXMLObject* CXMLObject::FindNextElementData(const CPPoolString& name,
                                                  const CPPoolString& data,
                                                  const CXMLObject* start) const {
    return searchChildren(name, start, true, [&](const CXMLObject& c) { return c.IsData(data); });
}
const CXMLObject* CXMLObject::FindPrevElementData(const CPPoolString& name,
                                                  const CPPoolString& data,
                                                  const CXMLObject* start) const {
    return searchChildren(name, start, false, [&](const CXMLObject& c) { return c.IsData(data); });
}

const CXMLObject* CXMLObject::FindNextElementType(const CPPoolString& name, unsigned int type,
                                                  const CXMLObject* start) const {
    return searchChildren(name, start, true,
                          [&](const CXMLObject& c) { return c.GetType() == type; });
}
const CXMLObject* CXMLObject::FindPrevElementType(const CPPoolString& name, unsigned int type,
                                                  const CXMLObject* start) const {
    return searchChildren(name, start, false,
                          [&](const CXMLObject& c) { return c.GetType() == type; });
}

const CXMLObject* CXMLObject::FindNextElementAtt(const CPPoolString& name,
                                                 const CPPoolString& attribute,
                                                 const CXMLObject* start) const {
    return searchChildren(name, start, true,
                          [&](const CXMLObject& c) { return c.HasAttribute(attribute); });
}
const CXMLObject* CXMLObject::FindPrevElementAtt(const CPPoolString& name,
                                                 const CPPoolString& attribute,
                                                 const CXMLObject* start) const {
    return searchChildren(name, start, false,
                          [&](const CXMLObject& c) { return c.HasAttribute(attribute); });
}

const CXMLObject* CXMLObject::FindNextElementAttVal(const CPPoolString& name,
                                                    const CPPoolString& attribute,
                                                    const CPPoolString& value,
                                                    const CXMLObject* start) const {
    return searchChildren(name, start, true, [&](const CXMLObject& c) {
        return HasAttributeValue(c, attribute, value);
    });
}
const CXMLObject* CXMLObject::FindPrevElementAttVal(const CPPoolString& name,
                                                    const CPPoolString& attribute,
                                                    const CPPoolString& value,
                                                    const CXMLObject* start) const {
    return searchChildren(name, start, false, [&](const CXMLObject& c) {
        return HasAttributeValue(c, attribute, value);
    });
}

// The non-const twins hand back the same child as writable.
CXMLObject* CXMLObject::FindNextElement(const CPPoolString& name, CXMLObject* start) {
    return const_cast<CXMLObject*>(std::as_const(*this).FindNextElement(name, start));
}
CXMLObject* CXMLObject::FindPrevElement(const CPPoolString& name, CXMLObject* start) {
    return const_cast<CXMLObject*>(std::as_const(*this).FindPrevElement(name, start));
}
CXMLObject* CXMLObject::FindNextElementData(const CPPoolString& name, const CPPoolString& data,
                                            CXMLObject* start) {
    return const_cast<CXMLObject*>(std::as_const(*this).FindNextElementData(name, data, start));
}
CXMLObject* CXMLObject::FindPrevElementData(const CPPoolString& name, const CPPoolString& data,
                                            CXMLObject* start) {
    return const_cast<CXMLObject*>(std::as_const(*this).FindPrevElementData(name, data, start));
}
CXMLObject* CXMLObject::FindNextElementType(const CPPoolString& name, unsigned int type,
                                            CXMLObject* start) {
    return const_cast<CXMLObject*>(std::as_const(*this).FindNextElementType(name, type, start));
}
CXMLObject* CXMLObject::FindPrevElementType(const CPPoolString& name, unsigned int type,
                                            CXMLObject* start) {
    return const_cast<CXMLObject*>(std::as_const(*this).FindPrevElementType(name, type, start));
}
CXMLObject* CXMLObject::FindNextElementAtt(const CPPoolString& name, const CPPoolString& attribute,
                                           CXMLObject* start) {
    return const_cast<CXMLObject*>(std::as_const(*this).FindNextElementAtt(name, attribute, start));
}
CXMLObject* CXMLObject::FindPrevElementAtt(const CPPoolString& name, const CPPoolString& attribute,
                                           CXMLObject* start) {
    return const_cast<CXMLObject*>(std::as_const(*this).FindPrevElementAtt(name, attribute, start));
}
CXMLObject* CXMLObject::FindNextElementAttVal(const CPPoolString& name,
                                              const CPPoolString& attribute,
                                              const CPPoolString& value, CXMLObject* start) {
    return const_cast<CXMLObject*>(
        std::as_const(*this).FindNextElementAttVal(name, attribute, value, start));
}
CXMLObject* CXMLObject::FindPrevElementAttVal(const CPPoolString& name,
                                              const CPPoolString& attribute,
                                              const CPPoolString& value, CXMLObject* start) {
    return const_cast<CXMLObject*>(
        std::as_const(*this).FindPrevElementAttVal(name, attribute, value, start));
}

unsigned int CXMLObject::GetNElements(CPPoolString name) const {
    unsigned int count = 0;
    const CXMLObject* items = m_pO ? m_pO->m_Elements.GetArray(count) : nullptr;
    if (!items || !name) return items ? count : 0;
    unsigned int named = 0;
    for (unsigned int i = 0; i < count; ++i) named += items[i].IsName(name) ? 1 : 0;
    return named;
}

}  // namespace tqcore
