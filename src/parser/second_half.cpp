// The second half's settings and the pages its copies of the text use.
#include "parser/second_half.h"

#include "tqplatform/memory.h"

namespace tqcore::parser {

namespace {
std::atomic<std::size_t> g_leastBytes{std::size_t{256} << 10};
// A little past the middle: the second thread first copies its half, and
// then reads it in grouped batches; from 52% the two finish closest together
// on most documents.
std::atomic<unsigned> g_startPercent{52};
std::atomic<unsigned> g_tagSpacing{8};
std::atomic<std::uint64_t> g_levelsTaken{0};

// Pages are kept up to this size, so that repeated parses fault in none.
constexpr std::size_t kMaxKept = std::size_t{64} << 20;
constexpr std::size_t kPage = 4096;

// Only the second thread's holder touches these.
unsigned char* g_pages = nullptr;
std::size_t g_mapped = 0;

void Unmap() noexcept {
    if (g_pages) tqplat::VirtualFree(g_pages, 0, tqplat::MEM_RELEASE);
    g_pages = nullptr;
    g_mapped = 0;
}

}  // namespace

SecondHalfSettings SetSecondHalfSettings(const SecondHalfSettings& settings) noexcept {
    const SecondHalfSettings old = GetSecondHalfSettings();
    g_leastBytes.store(settings.leastBytes);
    g_startPercent.store(settings.startPercent > 100 ? 100 : settings.startPercent);
    g_tagSpacing.store(settings.tagSpacing);
    return old;
}

SecondHalfSettings GetSecondHalfSettings() noexcept {
    return {g_leastBytes.load(std::memory_order_relaxed),
            g_startPercent.load(std::memory_order_relaxed),
            g_tagSpacing.load(std::memory_order_relaxed)};
}

std::uint64_t SecondHalfLevelsTaken() noexcept {
    return g_levelsTaken.load();
}

void CountSecondHalfLevel() noexcept {
    g_levelsTaken.fetch_add(1, std::memory_order_relaxed);
}

void SecondHalfCopy::Trim() noexcept {
    if (g_mapped > kMaxKept) Unmap();
}

unsigned char* SecondHalfCopy::Room(std::size_t bytes) noexcept {
    if (bytes <= g_mapped) return g_pages;
    Unmap();
    const std::size_t mapped = (bytes + kPage - 1) & ~(kPage - 1);
    void* pages = tqplat::VirtualAlloc(nullptr, mapped, tqplat::MEM_COMMIT, tqplat::PAGE_READWRITE);
    if (!pages) return nullptr;
    g_pages = static_cast<unsigned char*>(pages);
    g_mapped = mapped;
    return g_pages;
}

}  // namespace tqcore::parser
