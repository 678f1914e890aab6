// The tree on the log for a person to read: one line per tag, nothing escaped.
#include <algorithm>

#include "tqcore/log.h"
#include "tqcore/wtext.h"
#include "tqxml/xmlnode.h"
#include "xmlobj/subtree_walk.h"

namespace tqcore {

namespace {

// Two spaces per level; deeper levels keep the widest prefix that fits.
constexpr unsigned int kPrefixChars = 264;

class DumpPrefix {
  public:
    explicit DumpPrefix(unsigned int depth) {
        const unsigned int spaces =
            static_cast<unsigned int>(std::min<unsigned long long>(2ull * depth, kPrefixChars - 2));
        std::fill(m_text, m_text + spaces, static_cast<unsigned short>(' '));
        m_text[spaces] = 0;
    }
    const unsigned short* text() const { return m_text; }

  private:
    unsigned short m_text[kPrefixChars];
};

const unsigned short* OrEmpty(const CPPoolString& s) {
    const unsigned short* p = s;
    return p ? p : W(u"");
}

}  // namespace

void CXMLObject::Dump(unsigned int selector1, unsigned int selector2, unsigned int depth) const {
    if (!m_pO) return;
    auto line = [&](const char16_t* format, const unsigned short* a, const unsigned short* b) {
        wPrintf(selector1, selector2, W(format), a, b);
    };
    auto close = [&](const CXMLObject& node, unsigned int level) {
        line(u"\r%s</%s>", DumpPrefix(level).text(), OrEmpty(node.m_pO->m_Name));
    };
    unsigned int level = depth;
    auto enter = [&](CXMLObject& node) {
        const CXMLObjectBody* body = node.m_pO;
        const DumpPrefix prefix(level);
        line(u"\r%s<%ls", prefix.text(), OrEmpty(body->m_Name));
        unsigned int count = 0;
        const CXMLAttribute* attribs = body->m_Attribs.GetArray(count);
        for (unsigned int i = 0; i < count; ++i)
            line(u" %s=\"%s\"", OrEmpty(attribs[i].m_Name), OrEmpty(attribs[i].m_Value));
        wPrintf(selector1, selector2, W(u"> : %s"), CXML_TYPE_NAMES[body->m_uType & 3]);
        if (!body->m_Data.isnull()) line(u"\r%s  %s", prefix.text(), OrEmpty(body->m_Data));
        // Only an element lists its children.
        if (body->m_uType == CXML_TYPE_ELEMENT) {
            ++level;
            return true;
        }
        close(node, level);
        return false;
    };
    auto leave = [&](CXMLObject& node) { close(node, --level); };
    detail::WalkSubtree(const_cast<CXMLObject&>(*this), enter, leave);
}

}  // namespace tqcore
