// Typed readers of a node's data, of an attribute and of the first child of a
// name. Each type reads through one text-form reader of value_forms.
#include "tqplatform/wformat.h"
#include "tqxml/xmlnode.h"
#include "xmlobj/value_forms.h"

namespace tqcore {

using namespace valueforms;

namespace {

// The first child named `name` when it is a data node: a later child of the
// same name is never looked at.
const CXMLObject* FirstDataChild(const CXMLObject& node, const CPPoolString& name) noexcept {
    const CXMLObject* child = node.FindNextElement(name, nullptr);
    return child && child->GetType() == CXML_TYPE_DATA ? child : nullptr;
}

// The data reader `read` applied to the first data child named `name`.
template <class Reader, class Value>
Value ReadFirstChild(const CXMLObject& node, const CPPoolString& name, Reader read,
                     Value fallback) {
    const CXMLObject* child = FirstDataChild(node, name);
    return child ? (child->*read)(fallback) : fallback;
}

}  // namespace

unsigned short CXMLObject::GetDecSep() const {
    return static_cast<unsigned short>(
        static_cast<short>(static_cast<signed char>(tqplat::localeconv()->decimal_point[0])));
}

int CXMLObject::GetDataInt(int fallback) const {
    return ScanNumber(GetData(), u"%d", fallback);
}
unsigned int CXMLObject::GetDataUInt(unsigned int fallback) const {
    return ScanNumber(GetData(), u"%u", fallback);
}
std::int64_t CXMLObject::GetDataLInt(std::int64_t fallback) const {
    return ScanNumber(GetData(), u"%I64d", fallback);
}
std::uint64_t CXMLObject::GetDataLUInt(std::uint64_t fallback) const {
    return ScanNumber(GetData(), u"%I64u", fallback);
}
std::uint32_t CXMLObject::GetDataHex(std::uint32_t fallback) const {
    return ScanNumber(GetData(), u"%x", fallback);
}
double CXMLObject::GetDataDouble(double fallback) const {
    return ReadDecimal(GetData(), fallback, GetDecSep(), false);
}
double CXMLObject::GetDataEDouble(double fallback) const {
    return ReadEDouble(GetData(), fallback);
}
mtime CXMLObject::GetDataMTime(mtime fallback) const {
    return mtime(GetDataEDouble(fallback));
}
CGUID CXMLObject::GetDataGUID(CGUID fallback) const {
    return ReadGUID(GetData(), fallback);
}
filetime CXMLObject::GetDataFileTime(filetime fallback) const {
    return ReadFileTime(GetData(), fallback);
}
bool CXMLObject::GetDataBool(bool fallback) const {
    return m_pO ? ReadBool(m_pO->m_Data, fallback) : fallback;  // also beside children
}
timecode CXMLObject::GetDataTimecode(timecode fallback) const {
    return ReadTimecode(GetData(), fallback);
}
unsigned int CXMLObject::GetDataBinarySize() const {
    return m_pO ? CountBytePairs(m_pO->m_Data) : 0;
}
unsigned int CXMLObject::GetDataBinary(unsigned char* buffer, unsigned int size) const {
    return m_pO ? ReadBytes(m_pO->m_Data, buffer, size) : 0;
}

const unsigned short* CXMLObject::FindAttributeString(const CPPoolString& name,
                                                      const unsigned short* fallback) const {
    const CPPoolString value = FindAttribute(name);
    return value.isnull() ? fallback : static_cast<const unsigned short*>(value);
}
int CXMLObject::FindAttributeInt(const CPPoolString& name, int fallback) const {
    return ScanNumber<int>(FindAttribute(name), u"%d", fallback);
}
unsigned int CXMLObject::FindAttributeUInt(const CPPoolString& name, unsigned int fallback) const {
    return ScanNumber<unsigned int>(FindAttribute(name), u"%u", fallback);
}
std::int64_t CXMLObject::FindAttributeLInt(const CPPoolString& name, std::int64_t fallback) const {
    return ScanNumber<std::int64_t>(FindAttribute(name), u"%I64d", fallback);
}
std::uint64_t CXMLObject::FindAttributeLUInt(const CPPoolString& name,
                                             std::uint64_t fallback) const {
    return ScanNumber<std::uint64_t>(FindAttribute(name), u"%I64u", fallback);
}
std::uint32_t CXMLObject::FindAttributeHex(const CPPoolString& name, std::uint32_t fallback) const {
    return ScanNumber<std::uint32_t>(FindAttribute(name), u"%x", fallback);
}
double CXMLObject::FindAttributeDouble(const CPPoolString& name, double fallback) const {
    return ReadDecimal(FindAttribute(name), fallback, GetDecSep(), true);
}
double CXMLObject::FindAttributeEDouble(const CPPoolString& name, double fallback) const {
    return ReadEDouble(FindAttribute(name), fallback);
}
mtime CXMLObject::FindAttributeMTime(const CPPoolString& name, mtime fallback) const {
    return mtime(FindAttributeEDouble(name, fallback));
}
CGUID CXMLObject::FindAttributeGUID(const CPPoolString& name, CGUID fallback) const {
    return ReadGUID(FindAttribute(name), fallback);
}
filetime CXMLObject::FindAttributeFileTime(const CPPoolString& name, filetime fallback) const {
    return ReadFileTime(FindAttribute(name), fallback);
}
bool CXMLObject::FindAttributeBool(const CPPoolString& name, bool fallback) const {
    return ReadBool(FindAttribute(name), fallback);
}
timecode CXMLObject::FindAttributeTimecode(const CPPoolString& name, timecode fallback) const {
    return ReadTimecode(FindAttribute(name), fallback);
}

const unsigned short* CXMLObject::FindElementString(const CPPoolString& name,
                                                    const unsigned short* fallback) const {
    const CXMLObject* child = FirstDataChild(*this, name);
    return child ? static_cast<const unsigned short*>(child->m_pO->m_Data) : fallback;
}
CPPoolString CXMLObject::FindElementData(const CPPoolString& name) const {
    const CXMLObject* child = FirstDataChild(*this, name);
    return child ? child->m_pO->m_Data : CPPoolString();
}
int CXMLObject::FindElementInt(const CPPoolString& name, int fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataInt, fallback);
}
unsigned int CXMLObject::FindElementUInt(const CPPoolString& name, unsigned int fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataUInt, fallback);
}
std::int64_t CXMLObject::FindElementLInt(const CPPoolString& name, std::int64_t fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataLInt, fallback);
}
std::uint64_t CXMLObject::FindElementLUInt(const CPPoolString& name, std::uint64_t fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataLUInt, fallback);
}
std::uint32_t CXMLObject::FindElementHex(const CPPoolString& name, std::uint32_t fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataHex, fallback);
}
double CXMLObject::FindElementDouble(const CPPoolString& name, double fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataDouble, fallback);
}
double CXMLObject::FindElementEDouble(const CPPoolString& name, double fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataEDouble, fallback);
}
mtime CXMLObject::FindElementMTime(const CPPoolString& name, mtime fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataMTime, fallback);
}
CGUID CXMLObject::FindElementGUID(const CPPoolString& name, CGUID fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataGUID, fallback);
}
filetime CXMLObject::FindElementFileTime(const CPPoolString& name, filetime fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataFileTime, fallback);
}
bool CXMLObject::FindElementBool(const CPPoolString& name, bool fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataBool, fallback);
}
timecode CXMLObject::FindElementTimecode(const CPPoolString& name, timecode fallback) const {
    return ReadFirstChild(*this, name, &CXMLObject::GetDataTimecode, fallback);
}
unsigned int CXMLObject::FindElementIndex(const CPPoolString& name, const unsigned short* list,
                                          unsigned short separator) const {
    const CXMLObject* child = FirstDataChild(*this, name);
    return child ? child->GetDataIndex(list, separator) : 0xFFFFFFFFu;
}
std::uint32_t CXMLObject::FindElementFlags(const CPPoolString& name, const tagXMLFLAGMAP* map,
                                           unsigned int rows, unsigned short separator) const {
    const CXMLObject* child = FirstDataChild(*this, name);
    return child ? child->GetDataFlags(map, rows, separator) : 0;
}

}  // namespace tqcore
