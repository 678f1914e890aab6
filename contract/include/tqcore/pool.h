#pragma once
// Interned, counted UTF-16 strings. Equal texts share one pooled entry, so
// equality is a pointer comparison; the entry is freed by its last holder.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "tqcore/export.h"
#include "tqcore/objmem.h"

namespace tqcore {

namespace detail {
struct PoolEntry {
    std::atomic<std::int32_t> refs;  // holders; the empty string's is never released
    std::uint32_t length;            // UTF-16 units without the terminator
    std::uint32_t hash;
    std::uint32_t shard;
    unsigned short text[1];  // length + 1 units, zero-terminated
};
TQCORE_API void ReleaseEntry(PoolEntry* entry) noexcept;  // holder count known to be 1 or less
TQCORE_API extern PoolEntry g_emptyEntry;

// While one is open on a thread, the final releases of pooled strings made
// there wait in it and are done shard by shard, one lock per shard, when it
// fills or closes; a count seen by other threads stays one high meanwhile.
// Strings dropped through Drop are counted down together per entry, so a
// name that a whole tree repeats costs one interlocked step per release, not
// one per holder. For dropping many strings at once (a whole tree). A batch opened
// while another is open on the thread leaves the work to the outer one.
class TQCORE_API ReleaseBatch {
  public:
    ReleaseBatch() noexcept;
    ~ReleaseBatch();
    ReleaseBatch(const ReleaseBatch&) = delete;
    ReleaseBatch& operator=(const ReleaseBatch&) = delete;

    void add(PoolEntry* entry) noexcept;
    void flush() noexcept;
    // Releases one reference to `entry` (null is ignored) through the batch
    // open on this thread, or at once when none is.
    static void Drop(PoolEntry* entry) noexcept;
    // Releases `n` (1 or more) references to `entry`, a text the caller
    // expects to drop again (a name): the batch open on this thread counts
    // them until it is flushed, so that a text two threads' trees share is
    // not counted down by both in turn. At once when no batch is open.
    static void DropRepeated(PoolEntry* entry, std::int32_t n) noexcept;

  private:
    static constexpr unsigned kCapacity = 512;
    static constexpr unsigned kHeld = 256;  // a power of 2, a multiple of 64
    static constexpr unsigned kLag = 16;    // a power of 2
    static constexpr unsigned kProbes = 4;  // held slots tried per entry
    struct Held {
        PoolEntry* entry;
        std::int32_t count;
    };
    void settle(PoolEntry* entry) noexcept;
    void hold(PoolEntry* entry, std::int32_t n = 1) noexcept;  // not held yet
    static unsigned HeldHome(const PoolEntry* entry) noexcept;
    bool countIfHeld(const PoolEntry* entry, std::int32_t n = 1) noexcept;
    bool isHeld(unsigned i) const noexcept { return m_heldSlots[i / 64] >> (i % 64) & 1; }
    void settleHeld() noexcept;
    void flushFinal() noexcept;

    bool m_open;
    unsigned m_count = 0;
    unsigned m_lagNext = 0;
    // Dropped entries wait here while their counts are fetched.
    PoolEntry* m_lagging[kLag] = {};
    std::uint64_t m_heldSlots[kHeld / 64] = {};  // bit i: m_held[i] is in use
    Held m_held[kHeld];
    PoolEntry* m_entries[kCapacity];
};
struct PoolAccess;
}  // namespace detail

class TQCORE_API CPPoolString {
  public:
    constexpr CPPoolString() noexcept : m_p(nullptr) {}
    // Interns `text`; null text gives a null string, "" the empty string.
    CPPoolString(const unsigned short* text);
    CPPoolString(const char16_t* text)
        : CPPoolString(reinterpret_cast<const unsigned short*>(text)) {}
    CPPoolString(const CPPoolString& o) noexcept : m_p(o.m_p) { addRef(); }
    CPPoolString(CPPoolString&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
    ~CPPoolString() { release(); }

    CPPoolString& operator=(const CPPoolString& o) noexcept {
        if (m_p != o.m_p) {
            detail::PoolEntry* old = m_p;
            m_p = o.m_p;
            addRef();
            release(old);
        }
        return *this;
    }
    CPPoolString& operator=(CPPoolString&& o) noexcept {
        if (this != &o) {
            release();
            m_p = o.m_p;
            o.m_p = nullptr;
        }
        return *this;
    }
    CPPoolString& operator=(const unsigned short* text);
    CPPoolString& operator=(const char16_t* text) {
        return *this = reinterpret_cast<const unsigned short*>(text);
    }

    // Same text, case-sensitive; a null string equals only a null string.
    bool operator==(const CPPoolString& o) const noexcept { return m_p == o.m_p; }
    bool operator!=(const CPPoolString& o) const noexcept { return m_p != o.m_p; }
    // Same text ignoring case (simple case folding of the BMP); null only equals null.
    bool iequals(const CPPoolString& o) const noexcept;
    // Ordering by UTF-16 units: negative, zero or positive; null orders first.
    int pcmp(const CPPoolString& o) const noexcept;

    unsigned int len() const noexcept { return m_p ? m_p->length : 0; }
    bool isnull() const noexcept { return m_p == nullptr; }
    // Non-empty.
    explicit operator bool() const noexcept { return m_p && m_p->length != 0; }
    // The text; null for a null string.
    operator const unsigned short*() const noexcept { return m_p ? m_p->text : nullptr; }
    const char16_t* c16() const noexcept {
        return m_p ? reinterpret_cast<const char16_t*>(m_p->text) : nullptr;
    }
    std::uint32_t hash() const noexcept { return m_p ? m_p->hash : 0; }
    void Free() noexcept {
        release();
        m_p = nullptr;
    }

    static const CPPoolString pempty;

  private:
    friend class CStringPool;
    friend struct detail::PoolAccess;
    constexpr explicit CPPoolString(detail::PoolEntry* adopted) noexcept : m_p(adopted) {}
    void addRef() const noexcept {
        if (m_p) m_p->refs.fetch_add(1, std::memory_order_relaxed);
    }
    void release() noexcept { release(m_p); }
    static void release(detail::PoolEntry* p) noexcept {
        if (!p) return;
        // Lock-free while other holders remain; the last release goes through
        // the pool so that a concurrent look-up cannot revive a dying entry.
        std::int32_t r = p->refs.load(std::memory_order_relaxed);
        while (r > 1) {
            if (p->refs.compare_exchange_weak(r, r - 1, std::memory_order_release,
                                              std::memory_order_relaxed))
                return;
        }
        detail::ReleaseEntry(p);
    }

    detail::PoolEntry* m_p;
};
static_assert(sizeof(CPPoolString) == sizeof(void*), "a pooled string is one pointer");

namespace detail {

constexpr std::uint64_t kHashMul = 0x9E3779B97F4A7C15ull;
constexpr std::size_t kHashLanes = 8;
constexpr std::size_t kHashBlockBytes = 8 * kHashLanes;

// The hash state after the leading whole blocks of kHashBlockBytes of a text
// of at least one block, taken in independent chains, one per word of a
// block, so that the multiplies overlap; `h` is the state before them.
TQCORE_API std::uint64_t HashLongBlocks(const unsigned char* p, std::size_t bytes,
                                        std::uint64_t h) noexcept;

// The hash of `bytes` bytes of text, `units` units long; the pool's hash of
// UTF-16 text is HashUnits below, this over its bytes.
inline std::uint32_t HashBytes(const void* text, std::size_t bytes, std::size_t units) noexcept {
    const auto* p = static_cast<const unsigned char*>(text);
    std::uint64_t h = units * kHashMul;
    std::size_t i = 0;
    if (bytes >= kHashBlockBytes) {
        h = HashLongBlocks(p, bytes, h);
        i = bytes & ~(kHashBlockBytes - 1);
    }
    for (; i + 8 <= bytes; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * kHashMul;
        h ^= h >> 29;
    }
    if (const std::size_t rest = bytes - i) {
        // The last 1 to 7 bytes, little-endian, from overlapping loads.
        std::uint64_t w;
        if (rest >= 4) {
            std::uint32_t lo, hi;
            std::memcpy(&lo, p + i, 4);
            std::memcpy(&hi, p + bytes - 4, 4);
            w = lo | (std::uint64_t(hi) << (8 * (rest - 4)));
        } else {
            w = p[i] | (std::uint64_t(p[i + rest / 2]) << (8 * (rest / 2))) |
                (std::uint64_t(p[bytes - 1]) << (8 * (rest - 1)));
        }
        h = (h ^ w) * kHashMul;
    }
    h ^= h >> 32;
    h *= kHashMul;
    return static_cast<std::uint32_t>(h >> 32);
}

// Equal bytes, compared a word at a time: pooled texts are mostly short.
inline bool SameBytes(const void* a, const void* b, std::size_t bytes) noexcept {
    const auto* p = static_cast<const unsigned char*>(a);
    const auto* q = static_cast<const unsigned char*>(b);
    auto same = [&](std::size_t at, std::size_t size) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, p + at, size);
        std::memcpy(&y, q + at, size);
        return x == y;
    };
    if (bytes >= 8) {
        for (std::size_t i = 0; i + 8 < bytes; i += 8)
            if (!same(i, 8)) return false;
        return same(bytes - 8, 8);
    }
    if (bytes >= 4) return same(0, 4) && same(bytes - 4, 4);
    for (std::size_t i = 0; i < bytes; ++i)
        if (p[i] != q[i]) return false;
    return true;
}

inline std::uint32_t HashUnits(const unsigned short* text, std::size_t count) noexcept {
    return HashBytes(text, count * 2, count);
}

// `count` units (1 or more) interned with `refs` references (1 or more) for
// the caller; `hash` is HashUnits of them. Null when memory ran out.
TQCORE_API PoolEntry* InternHashed(const unsigned short* text, std::uint32_t count,
                                   std::uint32_t hash, std::int32_t refs = 1) noexcept;

// A text for InternGrouped: `count` units (1 or more), their HashUnits and
// the references the caller wants (1 or more).
struct GroupedText {
    const unsigned short* units;
    std::uint32_t count;
    std::uint32_t hash;
    std::int32_t refs;
};
constexpr unsigned kMaxGroupedTexts = 512;
// Interns `n` (at most kMaxGroupedTexts) texts shard by shard, taking each
// shard's lock once, and puts each one's entry (null when memory ran out)
// in `out` at the text's place. For a thread parsing beside another: one
// lock per text would take the lock's line from the other core nearly
// every time.
TQCORE_API void InternGrouped(const GroupedText* texts, unsigned n, PoolEntry** out) noexcept;

// Texts made in place, for a caller that would otherwise make them in a
// buffer of its own and have the pool copy them: an entry with room for
// `room` units (1 or more) at its `text`, or null when memory ran out. It
// goes to InternBuilt once the text is written, else to FreeBuilt.
TQCORE_API PoolEntry* NewEntry(std::uint32_t room) noexcept;
TQCORE_API void FreeBuilt(PoolEntry* built) noexcept;
// The text of `count` units (1 to its room) written in `built`, interned
// with `refs` references for the caller; `built` is taken over, as the
// pooled entry or freed. Null when memory ran out.
TQCORE_API PoolEntry* InternBuilt(PoolEntry* built, std::uint32_t count,
                                  std::int32_t refs = 1) noexcept;

// The usual way through the three above: a text that `write(text)` writes
// into a new entry's room of `room` units (1 or more), returning its length
// (1 to `room`, or 0 when it cannot be made), interned with `refs`
// references. Null when memory ran out or nothing was written.
template <class Write>
PoolEntry* InternWritten(std::uint32_t room, Write write, std::int32_t refs = 1) noexcept {
    PoolEntry* built = NewEntry(room);
    if (!built) return nullptr;
    const std::size_t count = write(built->text);
    if (count == 0) {
        FreeBuilt(built);
        return nullptr;
    }
    return InternBuilt(built, static_cast<std::uint32_t>(count), refs);
}

// Starts fetching the pool slot where a text of hash `hash` is looked up, so
// that a caller that interns several texts can overlap their cache misses.
TQCORE_API void PrefetchHashed(std::uint32_t hash) noexcept;

// For holders that keep an entry's reference outside a CPPoolString.
struct PoolAccess {
    // A string that takes over one reference to `entry`.
    static CPPoolString Adopt(PoolEntry* entry) noexcept { return CPPoolString(entry); }
    static void Release(PoolEntry* entry) noexcept { CPPoolString::release(entry); }
    // Takes the reference of `s` over, leaving it null.
    static PoolEntry* Detach(CPPoolString& s) noexcept {
        PoolEntry* entry = s.m_p;
        s.m_p = nullptr;
        return entry;
    }
    // Lets go of `s` (left null) through the release batch open on this thread.
    static void Drop(CPPoolString& s) noexcept {
        if (s.m_p) ReleaseBatch::Drop(Detach(s));  // an element's data is null: no call
    }
    // Drops `n` (1 or more) references held by the caller in one step.
    static void ReleaseMany(PoolEntry* entry, std::int32_t n) noexcept {
        std::int32_t r = entry->refs.load(std::memory_order_relaxed);
        while (r > n)
            if (entry->refs.compare_exchange_weak(r, r - n, std::memory_order_release,
                                                  std::memory_order_relaxed))
                return;
        // The caller's are the last: all but one go here, that one the usual way.
        if (n > 1) entry->refs.fetch_sub(n - 1, std::memory_order_release);
        CPPoolString::release(entry);
    }
};

}  // namespace detail

// Hands narrow text to the pool: first the converted length, then the text.
class IStringSubmitter {
  public:
    // Length in UTF-16 units without the terminator.
    virtual unsigned int GetLength() = 0;
    // Writes length + 1 units (terminator included) into `buffer`; true when
    // exactly that many were produced.
    virtual bool Submit(unsigned short* buffer) = 0;

  protected:
    ~IStringSubmitter() = default;
};

class TQCORE_API CStringPool {
  public:
    // Null text: a null string; empty text: the empty pooled string.
    static CPPoolString GetStringRef(const unsigned short* text);
    static CPPoolString GetStringRef(const char16_t* text) {
        return GetStringRef(reinterpret_cast<const unsigned short*>(text));
    }
    // Asks the submitter for the length, then the text; null when it fails.
    static CPPoolString GetStringRef(IStringSubmitter& submitter);
    // `count` units of `text` (which need not be terminated).
    static CPPoolString GetStringRefn(const unsigned short* text, unsigned int count);
    // The pooled string only if the text is interned already, else null.
    static CPPoolString QueryStringRefn(const unsigned short* text, unsigned int count);
    // Number of distinct strings held (the empty string not counted).
    static std::size_t GetCount();
};

// An ordered array of pooled strings in one shared block. An array built
// with `allowNull` true keeps null strings that are added; one built with
// false refuses them (Add gives false).
class TQCORE_API CPPoolStringArray {
  public:
    explicit CPPoolStringArray(bool allowNull = false);
    CPPoolStringArray(const CPPoolStringArray&) = default;
    CPPoolStringArray& operator=(const CPPoolStringArray&) = default;

    bool Add(const CPPoolString& s);
    CPPoolString* GetArray(unsigned int& count);
    const CPPoolString* GetArray(unsigned int& count) const;
    void Free();
    // Holds at least one string.
    explicit operator bool() const;

    static const tagCPOVTABL _vtbl;

  private:
    static void _create(void* storage, std::uint64_t bytes);
    static void _clone(void* target, const void* source, std::uint64_t bytes);
    static void _finalize(void* storage, std::uint64_t bytes);

    CPObjectMemory m_mem;
    bool m_allowNull;
};

}  // namespace tqcore
