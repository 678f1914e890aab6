#pragma once
// A pooled node pointer: one shared object-memory slot holding one handle.
#include <cstdint>

#include "tqcore/objmem.h"
#include "tqxml/export.h"
#include "tqxml/xmlnode.h"

namespace tqcore {

class TQXML_API CPXMLObject : public CPObjectMemory {
  public:
    CPXMLObject() noexcept = default;
    CPXMLObject(const CPXMLObject& p) noexcept = default;
    CPXMLObject& operator=(const CPXMLObject& p) noexcept = default;
    // Shares `m` only when it is a slot of this type; else stays empty.
    CPXMLObject(const CPObjectMemory& m) noexcept;
    CPXMLObject& operator=(const CPObjectMemory& m) noexcept;
    CPXMLObject(const CXMLObject& o) noexcept;
    CPXMLObject& operator=(const CXMLObject& o) noexcept;
    ~CPXMLObject() = default;

    // The slot's handle, allocating a slot with a null handle when there is
    // none; null when that allocation fails.
    CXMLObject* Create() noexcept;
    CXMLObject* operator->() noexcept { return Create(); }
    // Needs a successful allocation: otherwise a per-thread scratch handle.
    CXMLObject& operator*() noexcept;
    operator CXMLObject*() noexcept { return Create(); }
    // Non-const tests that must not pick the allocating conversion above.
    explicit operator bool() noexcept { return slot() != nullptr; }
    explicit operator bool() const noexcept { return slot() != nullptr; }
    operator void*() noexcept { return slot(); }
    operator void*() const noexcept { return slot(); }
    // No allocation: null (or a null handle) when there is no slot.
    const CXMLObject* operator->() const noexcept { return slot(); }
    const CXMLObject& operator*() const noexcept;

    static const void* GetTypeID() noexcept { return &_vtbl; }
    static const tagCPOVTABL _vtbl;

  private:
    static void _create(void* storage, std::uint64_t bytes);
    static void _clone(void* target, const void* source, std::uint64_t bytes);
    static void _finalize(void* storage, std::uint64_t bytes);

    CXMLObject* slot() const noexcept {
        return static_cast<CXMLObject*>(
            static_cast<void*>(static_cast<const CPObjectMemory&>(*this)));
    }
};

}  // namespace tqcore
