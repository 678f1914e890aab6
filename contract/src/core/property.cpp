#include "tqcore/property.h"

#include <utility>

namespace tqcore {

const GUID GUID_CPPROPERTY_CLASS = {
    0x4F16AB6C, 0x9B46, 0x42ED, {0x8F, 0xE4, 0x6E, 0xFB, 0x30, 0x49, 0xD2, 0xF8}};

CPProperty& CPProperty::operator=(const CPProperty& o) noexcept {
    if (this != &o) {
        if (static_cast<void*>(*this) != static_cast<void*>(o)) {
            Free();
            CPMemory::operator=(o);
        }
        m_dwType = o.m_dwType;
        m_guidType = o.m_guidType;
    }
    return *this;
}

CPProperty& CPProperty::operator=(CPProperty&& o) noexcept {
    if (this != &o) {
        if (static_cast<void*>(*this) != static_cast<void*>(o)) {
            Free();
            CPMemory::operator=(std::move(static_cast<CPMemory&>(o)));
        } else {
            o.Free();  // this holder keeps the shared payload alive
        }
        m_dwType = o.m_dwType;
        m_guidType = o.m_guidType;
    }
    return *this;
}

const GUID& CPProperty::GetClassID() const noexcept {
    return GUID_CPPROPERTY_CLASS;
}

CPProperty::~CPProperty() {
    Free();
}

void CPProperty::RelocateMemory(const void*, void*) noexcept {}

void CPProperty::ClearForRelease() noexcept {}

bool CPProperty::Alloc(std::uint64_t size) noexcept {
    Free();
    return CPMemory::Alloc(size);
}

bool CPProperty::Realloc(std::uint64_t size) noexcept {
    const void* old = *this;
    if (!CPMemory::Realloc(size)) return false;
    if (old && old != static_cast<void*>(*this)) RelocateMemory(old, *this);
    return true;
}

void CPProperty::Free() noexcept {
    if (dropHold()) {
        ClearForRelease();
        discardBlock();
    }
}

void CPProperty::Reset() noexcept {
    Free();
    m_dwType = 0;
    m_guidType = GUID_NULL;
}

}  // namespace tqcore
