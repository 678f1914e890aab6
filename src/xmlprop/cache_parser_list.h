#pragma once
// The registered cache parsers: a packed array of entries in object memory,
// in registration order. Each entry with a module path holds one load
// reference on its parser's module.
#include <cstdint>

#include "tqcore/objmem.h"
#include "tqcore/pool.h"
#include "tqxml/xmlprop.h"

namespace tqcore {

struct tagCACHEPARSERENTRY {
    void* hModule = nullptr;
    CPPoolString strModulePath;  // empty when the entry holds no module reference
    XMLCACHEPARSER pfnParser = nullptr;

    tagCACHEPARSERENTRY() noexcept = default;
    // Loads `module` by its path for `parser`; stays empty when it cannot.
    tagCACHEPARSERENTRY(XMLCACHEPARSER parser, void* module) noexcept;
    // A copy takes its own module reference; empty when it cannot.
    tagCACHEPARSERENTRY(const tagCACHEPARSERENTRY& o) noexcept;
    tagCACHEPARSERENTRY(tagCACHEPARSERENTRY&& o) noexcept;
    tagCACHEPARSERENTRY& operator=(tagCACHEPARSERENTRY&& o) noexcept;
    tagCACHEPARSERENTRY& operator=(const tagCACHEPARSERENTRY&) = delete;
    ~tagCACHEPARSERENTRY() { release(); }

    bool IsEmpty() const noexcept { return pfnParser == nullptr; }

  private:
    void release() noexcept;
};
static_assert(sizeof(tagCACHEPARSERENTRY) == 24, "16 entries fill the first 384 bytes");

// The list itself. Callers hold the list lock around every call; a snapshot
// stays valid without it, as changes never touch a block that is shared.
class CCacheParserList {
  public:
    static constexpr std::uint64_t kGrowthBytes = 16 * sizeof(tagCACHEPARSERENTRY);

    bool Contains(XMLCACHEPARSER parser) const noexcept;
    // Moves `entry` to the end of the list; false when memory runs out.
    bool Append(tagCACHEPARSERENTRY&& entry) noexcept;
    // Removes the first entry of `parser`; false when there is none or the
    // list cannot be made private.
    bool Remove(XMLCACHEPARSER parser) noexcept;
    // Shares the current block: its entries and their modules stay as they
    // are for as long as the snapshot is held.
    CPObjectMemory Snapshot() const noexcept { return m_block; }

    static const tagCACHEPARSERENTRY* Entries(const CPObjectMemory& block,
                                              std::uint32_t& count) noexcept;
    static const tagCPOVTABL _vtbl;

  private:
    static void _create(void* storage, std::uint64_t bytes);
    static void _clone(void* target, const void* source, std::uint64_t bytes);
    static void _finalize(void* storage, std::uint64_t bytes);

    CPObjectMemory m_block;
};

}  // namespace tqcore
