// The XML property record: conversion from other properties, the header,
// the signature and the tree read back from a payload.
#include <cstring>

#include "tqcore/algo.h"
#include "tqxml/xmlprop.h"
#include "xmlobj/image_reader.h"
#include "xmlprop/prop_reports.h"

namespace tqcore {
namespace {

constexpr std::uint32_t kHeaderSize = sizeof(tagXMLPROPERTY);
constexpr std::uint32_t kSignatureSeed = 0x9ced0d47u;

}  // namespace

CPXMLProperty::CPXMLProperty(const CPProperty& p) noexcept : CPProperty(p) {
    if (!IsXMLProperty(p)) Reset();
}

CPXMLProperty::~CPXMLProperty() = default;

CPXMLProperty& CPXMLProperty::operator=(const CPXMLProperty& p) noexcept {
    CPProperty::operator=(p);
    return *this;
}

CPXMLProperty& CPXMLProperty::operator=(const CPProperty& p) noexcept {
    if (this == &p) return *this;
    Free();
    if (IsXMLProperty(p)) CPProperty::operator=(p);
    return *this;
}

bool CPXMLProperty::IsXMLProperty(const CPProperty& p) noexcept {
    return p.IsPropertyID(GUID_XMLPROPERTY) && p.GetSize() > kHeaderSize;
}

// A payload too short for a header, which only the base class's own
// operations can leave here, has none.
tagXMLPROPERTY* CPXMLProperty::header() const noexcept {
    return GetSize() >= kHeaderSize ? static_cast<tagXMLPROPERTY*>(static_cast<void*>(*this))
                                    : nullptr;
}

bool CPXMLProperty::GetPropertyID(GUID& guidMain, GUID& guidSub) const noexcept {
    const tagXMLPROPERTY* stored = header();
    guidMain = stored ? stored->guidMain : GUID_NULL;
    guidSub = stored ? stored->guidSub : GUID_NULL;
    return stored != nullptr;
}

std::uint32_t CPXMLProperty::GetSignature(const GUID& guidMain, const GUID& guidSub) noexcept {
    return GetCRC32(&guidSub, sizeof(GUID), GetCRC32(&guidMain, sizeof(GUID), kSignatureSeed));
}

std::uint32_t CPXMLProperty::GetSignature() const noexcept {
    const tagXMLPROPERTY* stored = header();
    return stored ? GetSignature(stored->guidMain, stored->guidSub) : 0;
}

// The image is read within the payload, so a cut image fails instead of
// being read past the payload's end.
CXMLObject CPXMLProperty::GetData(const void* data, std::uint64_t size,
                                  tagXMLPROPERTY* header) noexcept {
    TQXMLPROP_ASSUME(size >= sizeof(XMLPROPERTY), "sData >= sizeof(XMLPROPERTY)");
    if (data && size >= kHeaderSize) {
        tagXMLPROPERTY stored;
        std::memcpy(&stored, data, kHeaderSize);
        if (TQXMLPROP_ASSUME(size >= stored.dwXMLPropertySize,
                             "sData >= (SIZE_T)pProp->dwXMLPropertySize")) {
            CXMLObject tree = CXMLImageReader::LoadImage(
                static_cast<const unsigned char*>(data) + stored.dwXMLPropertySize,
                static_cast<std::size_t>(size - stored.dwXMLPropertySize));
            if (tree) {
                if (header) *header = stored;
                return tree;
            }
        }
    }
    if (header) {
        *header = tagXMLPROPERTY{};
        header->dwXMLPropertySize = kHeaderSize;
    }
    return CXMLObject();
}

CXMLObject CPXMLProperty::GetPropertyData() const noexcept {
    return GetData(static_cast<void*>(*this), GetSize(), nullptr);
}

}  // namespace tqcore
