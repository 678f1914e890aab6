// Flag sets written as the names of their bits, and index lists: a name's
// position among separated entries.
#include <memory>
#include <new>

#include "module/module.h"
#include "tqcore/wtext.h"
#include "tqplatform/wformat.h"
#include "tqxml/xmlnode.h"
#include "xmlobj/value_forms.h"

namespace tqcore {
namespace {

// Appends to a flag text of at most `capacity` - 1 units; false when full.
class FlagTextWriter {
  public:
    FlagTextWriter(unsigned short* buffer, unsigned int capacity, unsigned short separator)
        : m_buffer(buffer), m_capacity(capacity), m_length(0), m_separator(separator) {
        *m_buffer = 0;
    }
    bool Append(const unsigned short* item, unsigned int length) {
        const unsigned int needed = length + (m_length ? 1 : 0);
        if (needed >= m_capacity - m_length) return false;
        if (m_length) m_buffer[m_length++] = m_separator;
        for (unsigned int i = 0; i < length; ++i) m_buffer[m_length++] = item[i];
        m_buffer[m_length] = 0;
        return true;
    }

  private:
    unsigned short* m_buffer;
    unsigned int m_capacity;
    unsigned int m_length;
    unsigned short m_separator;
};

bool SameText(const unsigned short* token, unsigned int length, const CPPoolString& name) {
    if (name.len() != length) return false;
    const unsigned short* text = name;
    for (unsigned int i = 0; i < length; ++i) {
        if (text[i] != token[i]) return false;
    }
    return true;
}

}  // namespace

bool CXMLObject::setFlags(unsigned short* buffer, std::uint32_t flags, const tagXMLFLAGMAP* map,
                          unsigned int rows, unsigned short separator) const {
    if (!buffer || !map || rows == 0) return false;
    FlagTextWriter text(buffer, valueforms::kFormatUnits, separator);
    std::uint32_t rest = flags;
    for (unsigned int i = 0; i < rows && rest; ++i) {
        const std::uint32_t bits = map[i].uFlag;
        if (bits == 0 || (rest & bits) != bits) continue;
        if (map[i].Name && !text.Append(map[i].Name, map[i].Name.len())) return false;
        rest &= ~bits;  // taken also by a row without a name
    }
    if (rest == 0) return true;
    unsigned short number[16];
    const int length =
        tqplat::_snwprintf_l(number, 16, W(u"0x%08x"), module::EnglishLocale(), rest);
    return length > 0 && text.Append(number, static_cast<unsigned int>(length));
}

std::uint32_t CXMLObject::getFlags(const unsigned short* text, const tagXMLFLAGMAP* map,
                                   unsigned int rows, unsigned short separator) const {
    if (!text || !map || rows == 0) return 0;
    // A row leaves the candidates once its name matched, so a repeated name
    // matches only a later row of that name.
    std::unique_ptr<bool[]> matched(new (std::nothrow) bool[rows]());
    if (!matched) return 0;
    std::uint32_t result = 0;
    const unsigned short* p = text;
    while (*p) {
        const unsigned short* end = p;
        while (*end && *end != separator) ++end;
        const unsigned int length = static_cast<unsigned int>(end - p);
        if (length >= 2 && p[0] == '0' && p[1] == 'x') {
            result |= valueforms::ScanNumber<std::uint32_t>(p + 2, u"%x", 0);
        } else if (length > 0) {
            for (unsigned int i = 0; i < rows; ++i) {
                if (matched[i] || !map[i].Name || !SameText(p, length, map[i].Name)) continue;
                result |= map[i].uFlag;
                matched[i] = true;
                break;
            }
        }
        p = *end ? end + 1 : end;
    }
    return result;
}

unsigned int CXMLObject::getIndex(const unsigned short* word, const unsigned short* list,
                                  unsigned short separator) const {
    if (!word || !*word || !list) return 0xFFFFFFFFu;
    unsigned int index = 0;  // separators before `entry`
    for (const unsigned short* entry = list;; ++entry) {
        const unsigned short* w = word;
        const unsigned short* p = entry;
        while (*w && *p == *w) ++p, ++w;
        const bool startsEntry = entry == list || entry[-1] == separator;
        if (!*w && startsEntry && (*p == separator || !*p)) return index;
        if (!*entry) return 0xFFFFFFFFu;
        if (*entry == separator) ++index;
    }
}

std::uint32_t CXMLObject::GetDataFlags(const tagXMLFLAGMAP* map, unsigned int rows,
                                       unsigned short separator) const {
    return getFlags(GetData(), map, rows, separator);
}

unsigned int CXMLObject::GetDataIndex(const unsigned short* list, unsigned short separator) const {
    return getIndex(GetData(), list, separator);
}

unsigned int CXMLObject::GetIndex(const unsigned short* list, unsigned short separator) const {
    return m_pO ? getIndex(m_pO->m_Name, list, separator) : 0xFFFFFFFFu;
}

std::uint32_t CXMLObject::FindAttributeFlags(const CPPoolString& name, const tagXMLFLAGMAP* map,
                                             unsigned int rows, unsigned short separator) const {
    return getFlags(FindAttribute(name), map, rows, separator);
}

unsigned int CXMLObject::FindAttributeIndex(const CPPoolString& name, const unsigned short* list,
                                            unsigned short separator) const {
    return getIndex(FindAttribute(name), list, separator);
}

bool CXMLObject::Add(std::uint32_t flags, const tagXMLFLAGMAP* map, unsigned int rows,
                     unsigned short separator) {
    unsigned short text[valueforms::kFormatUnits];
    return setFlags(text, flags, map, rows, separator) &&
           Add(static_cast<const unsigned short*>(text));
}

bool CXMLObject::Set(std::uint32_t flags, const tagXMLFLAGMAP* map, unsigned int rows,
                     unsigned short separator) {
    if (m_pO) DeleteContent();
    return Add(flags, map, rows, separator);
}

bool CXMLObject::AddAttribute(const CPPoolString& name, std::uint32_t flags,
                              const tagXMLFLAGMAP* map, unsigned int rows,
                              unsigned short separator) {
    unsigned short text[valueforms::kFormatUnits];
    return setFlags(text, flags, map, rows, separator) &&
           AddAttribute(name, static_cast<const unsigned short*>(text));
}

bool CXMLObject::SetAttribute(const CPPoolString& name, std::uint32_t flags,
                              const tagXMLFLAGMAP* map, unsigned int rows,
                              unsigned short separator) {
    return DeleteAttribute(name) && AddAttribute(name, flags, map, rows, separator);
}

}  // namespace tqcore
