#pragma once
// Property containers: a shared payload tagged with a 32-bit type number and
// a type GUID. Copies share the payload and carry their own tags.
#include <cstdint>

#include "tqcore/export.h"
#include "tqcore/guid.h"
#include "tqcore/memory.h"

namespace tqcore {

// The class ID of CPProperty itself.
TQCORE_API extern const GUID GUID_CPPROPERTY_CLASS;

class TQCORE_API CPProperty : public CPMemory {
  public:
    CPProperty() noexcept : m_dwType(0), m_guidType{} {}
    CPProperty(const CPProperty& o) noexcept = default;
    CPProperty(CPProperty&& o) noexcept = default;
    CPProperty& operator=(const CPProperty& o) noexcept;
    CPProperty& operator=(CPProperty&& o) noexcept;

    virtual const GUID& GetClassID() const noexcept;
    // Gives the payload up. A subclass whose payload holds objects frees it in
    // its own destructor, where its ClearForRelease still runs.
    virtual ~CPProperty();
    // The payload moved from `oldPayload` (no longer valid: for address
    // arithmetic only) to `newPayload`; a subclass fixes pointers into it.
    virtual void RelocateMemory(const void* oldPayload, void* newPayload) noexcept;
    // The last holder is about to release the payload (still readable here).
    virtual void ClearForRelease() noexcept;

    // A new private payload of `size` bytes; the tags stay. False, and no
    // payload, for a size of 0 or when memory runs out.
    bool Alloc(std::uint64_t size) noexcept;
    // Resizes the payload keeping its leading bytes (see CPMemory::Realloc).
    bool Realloc(std::uint64_t size) noexcept;
    // Releases the payload; the tags stay.
    void Free() noexcept;
    // Releases the payload and clears the tags.
    void Reset() noexcept;

    void SetPropertyID(std::uint32_t type, const GUID& typeGuid) noexcept {
        m_dwType = type;
        m_guidType = typeGuid;
    }
    bool IsPropertyID(const GUID& typeGuid) const noexcept { return m_guidType == typeGuid; }
    bool IsPropertyID(std::uint32_t type, const GUID& typeGuid) const noexcept {
        return m_dwType == type && m_guidType == typeGuid;
    }
    std::uint32_t GetPropertyType() const noexcept { return m_dwType; }
    std::uint32_t GetPropertyType(GUID& typeGuid) const noexcept {
        typeGuid = m_guidType;
        return m_dwType;
    }

  private:
    std::uint32_t m_dwType;
    GUID m_guidType;
};

}  // namespace tqcore
