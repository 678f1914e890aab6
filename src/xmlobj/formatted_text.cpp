// Formatted text stored as a node's data, as an attribute or as a new child,
// formatted in the module's number locale.
#include <cstdarg>

#include "module/module.h"
#include "tqplatform/wformat.h"
#include "tqxml/xmlnode.h"
#include "xmlobj/value_forms.h"

namespace tqcore {
namespace {

// One formatted text of at most 2047 characters.
class FormattedText {
  public:
    FormattedText(const unsigned short* format, va_list args) noexcept {
        const int length = tqplat::_vsnwprintf_l(m_text, valueforms::kFormatUnits, format,
                                                 module::EnglishLocale(), args);
        m_ok = length >= 0 && static_cast<unsigned int>(length) < valueforms::kFormatUnits;
    }
    // False when the format is bad or the text leaves no room for its
    // terminator.
    explicit operator bool() const noexcept { return m_ok; }
    const unsigned short* c_str() const noexcept { return m_text; }
    CPPoolString Pooled() const { return CStringPool::GetStringRef(m_text); }

  private:
    unsigned short m_text[valueforms::kFormatUnits];
    bool m_ok;
};

bool HoldsData(const CXMLObjectBody& body) noexcept {
    return body.m_uType > CXML_TYPE_ELEMENT && body.m_Data;
}

}  // namespace

bool CXMLObject::printf(const unsigned short* format, ...) {
    if (!m_pO || !format || HoldsData(*m_pO)) return false;
    va_list args;
    va_start(args, format);
    const FormattedText text(format, args);
    va_end(args);
    return text && Add(text.c_str());
}

bool CXMLObject::Sprintf(const unsigned short* format, ...) {
    if (!format) return false;
    va_list args;
    va_start(args, format);
    const FormattedText text(format, args);
    va_end(args);
    if (!text || !m_pO) return false;
    DeleteData();
    DeleteElements();
    return Add(text.c_str());
}

bool CXMLObject::printfAttribute(const CPPoolString& name, const unsigned short* format, ...) {
    if (!format || !IsValidName(static_cast<const unsigned short*>(name))) return false;
    va_list args;
    va_start(args, format);
    const FormattedText text(format, args);
    va_end(args);
    return text && addAttribute(name, text.Pooled());
}

bool CXMLObject::SprintfAttribute(const CPPoolString& name, const unsigned short* format, ...) {
    if (!format) return false;
    const CPPoolString old = FindAttribute(name);  // the arguments may point into it
    if (!DeleteAttribute(name)) return false;
    va_list args;
    va_start(args, format);
    const FormattedText text(format, args);
    va_end(args);
    return text && addAttribute(name, text.Pooled());
}

xmlret CXMLObject::printfTag(const CPPoolString& name, const unsigned short* format, ...) {
    if (!m_pO || !format || !name || HoldsData(*m_pO)) return xmlret();
    va_list args;
    va_start(args, format);
    const FormattedText text(format, args);
    va_end(args);
    return text ? AddTag(name, text.Pooled()) : xmlret();
}

xmlret CXMLObject::SprintfTag(const CPPoolString& name, const unsigned short* format, ...) {
    if (!m_pO || !format || !name) return xmlret();
    va_list args;
    va_start(args, format);
    const FormattedText text(format, args);
    va_end(args);
    return text ? SetTag(name, text.Pooled()) : xmlret();
}

}  // namespace tqcore
