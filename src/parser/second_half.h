#pragma once
// Parsing a large document on two threads. A second thread reads the text
// from a guessed block start after its middle while the parsing thread reads
// from the beginning. Knowing nothing of the elements around its start, the
// second thread reads runs of whole blocks ("levels") and stops each at an
// end tag that closes an element it did not see open, leaving that tag to
// the parsing thread. The parsing thread takes a level's nodes as they are
// when its own parse reaches the level's first block between blocks, and
// then reads on from the level's end tag: so it checks every end tag itself,
// and a guess that falls inside a comment, a value or text only costs the
// second thread's work. The second thread reads its own copy of the text,
// made before the parse begins, and gives up at anything that depends on
// what surrounds it (data, CDATA, a failure): the parsing thread reads that
// itself.
//
// It runs only while no other parse or large release does (so that threads
// that keep the cores busy do not compete with it) and never while the
// allocation-failure seam is armed (whose failures must fall in one order).
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../module/second_thread.h"  // by its own directory, for the tests too
#include "raw_items.h"
#include "tqcore/heap.h"
#include "tqxml/xmldoc.h"
#include "unit_traits.h"

namespace tqcore::parser {

// When a second half runs; tests change the settings to split small texts
// anywhere.
struct SecondHalfSettings {
    std::size_t leastBytes;  // shorter texts are parsed on one thread
    unsigned startPercent;   // where the search for the second half's start begins
    // Tags closer than this many units on average after the start keep the
    // parse on one thread (0: any): nodes that small gain less from the
    // second thread than handing them over costs.
    unsigned tagSpacing;
};
// Sets the settings and returns the ones that stood.
TQXML_API SecondHalfSettings SetSecondHalfSettings(const SecondHalfSettings& settings) noexcept;
SecondHalfSettings GetSecondHalfSettings() noexcept;
// Levels a parsing thread has taken from a second half, in this process.
TQXML_API std::uint64_t SecondHalfLevelsTaken() noexcept;
void CountSecondHalfLevel() noexcept;

// Counts a parse among those running, for the whole of it.
class ParseRunning {
  public:
    ParseRunning() noexcept : m_alone(module::SecondThread::Enter()) {}
    ~ParseRunning() { module::SecondThread::Leave(); }
    ParseRunning(const ParseRunning&) = delete;
    ParseRunning& operator=(const ParseRunning&) = delete;
    bool alone() const noexcept { return m_alone; }

  private:
    bool m_alone;
};

// One run of blocks the second thread read, closed by an end tag.
template <class T>
struct SecondHalfLevel {
    T* start;           // its first block, in the second thread's copy
    T* end;             // the end tag after its last block
    std::size_t first;  // its nodes, among the second half's
    std::size_t count;
    T* recordPos;              // the error record standing at `end`; null
    std::uint32_t recordCode;  // when no block of the level set one
};

// What the second thread read.
template <class T>
struct SecondHalfRead {
    RawItems<SecondHalfLevel<T>, 8> levels;
    RawItems<CXMLObject, 256> nodes;  // the levels' top-level nodes, in order
};

// The pages the second thread's copy of the text lies in, kept for the next
// parse; only the second thread's holder uses them.
class SecondHalfCopy {
  public:
    // Room for `bytes`; null when memory ran out.
    static unsigned char* Room(std::size_t bytes) noexcept;
    // Unmaps pages beyond 64 MiB.
    static void Trim() noexcept;
};

template <class T>
class SecondHalf {
  public:
    using Level = SecondHalfLevel<T>;
    // Reads blocks from `from` on (the second thread's part, in
    // block_parser.h); stops early once `stop` is set.
    using Reader = void (*)(T* from, SecondHalfRead<T>& read, const std::atomic<bool>& stop);

    SecondHalf() = default;
    SecondHalf(const SecondHalf&) = delete;
    SecondHalf& operator=(const SecondHalf&) = delete;
    ~SecondHalf() { finish(); }

    // Starts the second thread on `text` (`count` units and a zero) when it
    // is worth it; false when the parse stays on one thread. `source`, when
    // not null, holds the same units as `text` and stays unchanged during
    // the parse: the second thread then makes its copy from it itself.
    bool Start(T* text, std::size_t count, const ParseRunning& running, Reader read,
               const unsigned char* source) noexcept {
        const SecondHalfSettings settings = GetSecondHalfSettings();
        if (!running.alone() || count * sizeof(T) < settings.leastBytes || AllocationFailureArmed())
            return false;
        T* from = guessStart(text, count, settings);
        if (!from || !module::SecondThread::Hold()) return false;
        m_held = true;
        // The copy keeps the text's place within 64 bytes, and 64 bytes of
        // room around it for the scans' aligned reads.
        const auto skew = reinterpret_cast<std::uintptr_t>(from) % 64;
        const std::size_t units = static_cast<std::size_t>(text + count - from) + 1;
        unsigned char* room = SecondHalfCopy::Room(64 + skew + units * sizeof(T) + 64);
        if (!room) return false;
        T* copy = reinterpret_cast<T*>(room + 64 + skew);
        copy[units - 1] = T(0);
        // Without a source, copied here, before the parsing thread writes
        // into its text.
        if (source)
            m_source = source + static_cast<std::size_t>(from - text) * sizeof(T);
        else
            std::memcpy(copy, from, (units - 1) * sizeof(T));
        m_copyBytes = (units - 1) * sizeof(T);
        m_text = from;
        m_copy = copy;
        m_reader = read;
        module::SecondThread::Start(&run, this);
        m_running = true;
        return true;
    }

    // Where the second half starts in the parsing thread's text, or null.
    T* Begin() const noexcept { return m_running ? m_text : nullptr; }

    // The level whose first block is at `c` in the parsing thread's text,
    // or null; levels that begin before `c` are passed for good. Waits for
    // the second thread first.
    Level* LevelAt(T* c) noexcept {
        // Passed without stopping there: the guess was no block start, and
        // what the second thread reads on from it is seldom of use.
        if (c != m_text) m_stop.store(true, std::memory_order_relaxed);
        join();
        auto& levels = m_read.levels;
        while (m_next < levels.size() && mapped(levels[m_next].start) < c) ++m_next;
        if (m_next == levels.size() || mapped(levels[m_next].start) != c) return nullptr;
        return &levels.data()[m_next++];
    }
    // The first block of the next level not passed yet, or null.
    T* NextStart() const noexcept {
        const auto& levels = m_read.levels;
        return m_next < levels.size() ? mapped(levels[m_next].start) : nullptr;
    }
    // A level's nodes, for the taking.
    CXMLObject* Nodes(const Level& level) noexcept { return m_read.nodes.data() + level.first; }
    // A position in the second thread's copy, in the parsing thread's text.
    T* mapped(T* p) const noexcept { return m_text + (p - m_copy); }

  private:
    // The start tag nearest to the chosen percentage of the text that
    // follows a tag's close, within an eighth of the text either way
    // (documents of long texts hold their tags far apart), but no further
    // than a scan of a few milliseconds.
    static T* guessStart(T* text, std::size_t count, const SecondHalfSettings& settings) noexcept {
        constexpr std::size_t kLeast = std::size_t{1} << 16, kMost = std::size_t{1} << 22;
        const std::size_t search = std::clamp(count / 8, kLeast, kMost);
        const std::size_t target = count * settings.startPercent / 100;
        const std::size_t low = target > search ? target - search : 0;
        const std::size_t high = search < count - target ? target + search : count;
        const auto startsAt = [&](std::size_t i) {
            if (text[i] != T('<') || !(ClassOf(UnitTraits<T>::Widen(text[i + 1])) & kNameStart))
                return false;
            std::size_t j = i;
            while (j > low && (ClassOf(UnitTraits<T>::Widen(text[j - 1])) & kSpace)) --j;
            return j > low && text[j - 1] == T('>');
        };
        std::size_t found = high;
        for (std::size_t i = target + 1; i + 1 < high; ++i) {
            if (startsAt(i)) {
                found = i;
                break;
            }
        }
        // One before the target counts when it lies closer.
        for (std::size_t i = target; i > low + 1 && target - i < found - target; --i) {
            if (startsAt(i)) {
                found = i;
                break;
            }
        }
        if (found == high) return nullptr;
        return dense(text + found, text + count, settings.tagSpacing) ? nullptr : text + found;
    }

    // Whether tags lie closer than every `spacing` units after `from`.
    static bool dense(const T* from, const T* end, unsigned spacing) noexcept {
        constexpr std::size_t kWindow = 4096;
        const T* const last = end - from > std::ptrdiff_t{kWindow} ? from + kWindow : end;
        std::size_t tags = 0;
        for (const T* u = from; u < last; ++u) tags += *u == T('<');
        return tags * spacing > static_cast<std::size_t>(last - from);
    }

    static void run(void* half) noexcept {
        auto* self = static_cast<SecondHalf*>(half);
        if (self->m_source) std::memcpy(self->m_copy, self->m_source, self->m_copyBytes);
        self->m_reader(self->m_copy, self->m_read, self->m_stop);
    }

    void join() noexcept {
        if (m_running) module::SecondThread::Wait();
        m_running = false;
    }

    // Tells the second thread to stop at its next block, waits for it and
    // lets it go.
    void finish() noexcept {
        m_stop.store(true, std::memory_order_relaxed);
        join();
        if (m_held) {
            SecondHalfCopy::Trim();
            module::SecondThread::Let();
        }
    }

    Reader m_reader = nullptr;
    bool m_running = false;
    bool m_held = false;
    std::atomic<bool> m_stop{false};
    T* m_text = nullptr;                      // where the second half starts
    T* m_copy = nullptr;                      // the same in the copy
    const unsigned char* m_source = nullptr;  // the same in the caller's text, or null
    std::size_t m_copyBytes = 0;              // the copy's units before its zero
    SecondHalfRead<T> m_read;
    std::size_t m_next = 0;  // the first level not passed yet
};

}  // namespace tqcore::parser
