// The open entry points: text in memory of each width, files by path and
// open handles. Each copies the text into the document's buffer, parses it
// with the scanner of its width and lets the buffer go again.
#include <algorithm>
#include <csignal>
#include <cstring>

#include "module/log_and_retry.h"
#include "parser/guarded_read.h"
#include "parser/scan.h"
#include "parser/text_buffer.h"
#include "tqcore/diag.h"
#include "tqcore/fileutil.h"
#include "tqcore/log.h"
#include "tqcore/wtext.h"
#include "tqplatform/files.h"
#include "tqxml/xmldoc.h"

namespace tqcore {
namespace {

// The text size is kept in 32 bits with room for the closing zero unit.
constexpr std::size_t kMaxTextBytes = 0xFFFFFFFFu - 2;
constexpr std::uint32_t kMinFileText = 4;
constexpr unsigned int kPathUnits = 260;

// Under AddressSanitizer a read of bytes past the caller's zero is reported,
// even within the aligned block that holds the zero.
#if defined(__SANITIZE_ADDRESS__)
#define TQXML_EXACT_READS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TQXML_EXACT_READS 1
#endif
#endif

// The units before the zero. UTF-16 text goes through the scanner's finder,
// which reads aligned 32-byte pairs: a pair that holds a unit of the text
// lies within a page the text reaches, so it is readable. Text at an odd
// address (which C++ does not allow, but a byte buffer can hold) goes unit
// by unit.
template <class T>
std::size_t UnitCount(const T* text) {
#if defined(TQXML_SSE2_SCAN) && !defined(TQXML_EXACT_READS)
    if (sizeof(T) == 2 && (reinterpret_cast<std::uintptr_t>(text) & 1) == 0)
        return static_cast<std::size_t>(parser::scan::Finders::FindAnyOf(text, T(0)) - text);
#endif
    std::size_t n = 0;
    while (text[n]) ++n;
    return n;
}

// The first zero unit of `text` in [from, to), or `to`. It reads aligned
// blocks that hold a unit before `to`, which (no zero coming before it) is
// text: so, as for UnitCount, every block read is readable.
template <class T>
std::size_t FindZero(const T* text, std::size_t from, std::size_t to) noexcept {
    std::size_t n = from;
#if defined(TQXML_SSE2_SCAN)
    for (; n < to && (reinterpret_cast<std::uintptr_t>(text + n) & 15) != 0; ++n)
        if (text[n] == 0) return n;
    const __m128i zero = _mm_setzero_si128();
    for (; n < to; n += 16 / sizeof(T)) {
        const __m128i block = _mm_load_si128(reinterpret_cast<const __m128i*>(text + n));
        const __m128i zeros =
            sizeof(T) == 1 ? _mm_cmpeq_epi8(block, zero) : _mm_cmpeq_epi16(block, zero);
        if (const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(zeros)))
            return std::min(to, n + static_cast<unsigned>(__builtin_ctz(bits)) / sizeof(T));
    }
    return to;
#else
    while (n < to && text[n] != 0) ++n;
    return n;
#endif
}

// Copies the text at `text` to `to` up to its zero, or as much of it as
// `room` units hold; returns its length, or kNoZero when it does not fit.
// A chunk at a time, each measured and then copied while it is still in the
// cache: one pass over the caller's text instead of a count and a copy.
constexpr std::size_t kNoZero = ~std::size_t{0};
template <class T>
std::size_t CopyToZero(const T* text, T* to, std::size_t room) noexcept {
    constexpr std::size_t kChunkUnits = 16384 / sizeof(T);
    for (std::size_t n = 0;; n += kChunkUnits) {
        const std::size_t end = std::min(n + kChunkUnits, room);
        const std::size_t zero = FindZero(text, n, end);
        std::memcpy(to + n, text + n, (zero - n) * sizeof(T));
        if (zero < end) return zero;
        if (end == room) return text[room] == 0 ? room : kNoZero;
    }
}

bool HasUtf8Mark(const unsigned char* text) {
    return text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF;
}

}  // namespace

template <class T>
bool CXMLDoc::openText(const T* text, const unsigned short* context, unsigned int report) {
    // The text goes into the buffer this thread keeps as it is measured;
    // when it does not fit there (or the buffer does not serve its size),
    // it is measured first and copied after.
    std::size_t capacity = 0;
    T* const kept = static_cast<T*>(parser::KeptTextBuffer(capacity));
    std::size_t units = kNoZero, measured = 0;  // units known to hold no zero
#if !defined(TQXML_EXACT_READS)
    const bool aligned = reinterpret_cast<std::uintptr_t>(text) % sizeof(T) == 0;
    if (kept && aligned) {
        measured = (capacity - 2) / sizeof(T);
        units = CopyToZero(text, kept, measured);
    }
#endif
    const bool copied = units != kNoZero;
    if (!copied) units = measured + UnitCount(text + measured);
    if (units > kMaxTextBytes / sizeof(T)) return false;
    m_uTextStart = 0;
    m_uTextSize = static_cast<std::uint32_t>(units * sizeof(T));
    if (!allocBuffer()) return false;
    if (!copied || m_pBuffer != kept) std::memcpy(m_pBuffer, text, m_uTextSize);
    const bool parsed = OpenMem<T>(context, text, kSourceMemory, report);
    releaseBuffer();
    return parsed;
}

bool CXMLDoc::OpenDocText(const unsigned short* text, unsigned int report) {
    discard();
    if (!text) return false;
    if (*text == 0xFEFF) ++text;
    return openText(text, W(u"(UNICODE text)"), report);
}

bool CXMLDoc::OpenDocText(const unsigned char* text, unsigned int report) {
    discard();
    if (!text) return false;
    if (HasUtf8Mark(text)) text += 3;
    return openText(text, W(u"(UTF8 text)"), report);
}

bool CXMLDoc::OpenDocText(const char* text, unsigned int report) {
    discard();
    if (!text) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (HasUtf8Mark(bytes)) return OpenDocText(bytes + 3, report);
    return openText(text, W(u"(ANSI text)"), report);
}

bool CXMLDoc::OpenDocText(const void* text, unsigned int report) {
    discard();
    if (!text) return false;
    // The caller's memory is checked page by page before it is read.
    parser::GuardedReader reader(text);
    unsigned char b0 = 0, b1 = 0, b2 = 0;
    std::uint32_t start = 0;
    unsigned int unitBytes = 1;
    bool readable = reader.Byte(0, b0);
    if (readable && b0 == 0xFF) {
        readable = reader.Byte(1, b1);
        if (readable && b1 == 0xFE) start = 2, unitBytes = 2;
    } else if (readable && b0 == 0xEF) {
        readable = reader.Byte(1, b1) && (b1 != 0xBB || reader.Byte(2, b2));
        if (readable && b1 == 0xBB && b2 == 0xBF) start = 3;
    }
    std::size_t units = 0;
    const bool measured =
        readable && reader.Measure(start, unitBytes, kMaxTextBytes / unitBytes, units);
    if (!measured) {
        if (reader.FaultAddress()) AnalyseException(SIGSEGV, reader.FaultAddress());
        m_uTextStart = 0;
        m_uTextSize = 0;
        return false;  // unreadable, or too long for a 32-bit size
    }
    m_uTextStart = start;
    m_uTextSize = static_cast<std::uint32_t>(units * unitBytes);
    if (!allocBuffer()) return false;
    const unsigned char* source = static_cast<const unsigned char*>(text) + start;
    std::memcpy(m_pBuffer, source, m_uTextSize);
    const unsigned short* context = start == 2   ? W(u"(generic pvoid, UNICODE)")
                                    : start == 3 ? W(u"(generic pvoid, UTF8)")
                                                 : W(u"(generic pvoid, ANSI)");
    const bool parsed = openByWidth(context, source, kSourceMemory, report);
    releaseBuffer();
    return parsed;
}

unsigned int CXMLDoc::OpenDocFile(const unsigned short* path, std::uint32_t timeout,
                                  unsigned int report) {
    discard();
    void* handle = tqplat::INVALID_HANDLE_VALUE;
    if (!module::RetryWhileShared(timeout, [&] {
            handle = tqplat::CreateFileW(path, tqplat::GENERIC_READ, tqplat::FILE_SHARE_READ,
                                         nullptr, tqplat::OPEN_EXISTING,
                                         tqplat::FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            return handle != tqplat::INVALID_HANDLE_VALUE;
        }))
        return tqplat::GetLastError();
    const unsigned int result = OpenHandle(path, handle, report);
    tqplat::CloseHandle(handle);
    module::Log(module::kLogTimingPath, u" %s\r\n", path);
    return result;
}

unsigned int CXMLDoc::OpenDocHandle(void* handle, unsigned int report) {
    unsigned short name[kPathUnits];
    if (!FU_FilenameFromHandle(handle, name, kPathUnits))
        std::memcpy(name, u"(handle)", sizeof u"(handle)");
    return OpenHandle(name, handle, report);
}

unsigned int CXMLDoc::OpenHandle(const unsigned short* context, void* handle, unsigned int report) {
    discard();
    const std::uint32_t size = tqplat::GetFileSize(handle, nullptr);
    if (size == tqplat::INVALID_FILE_SIZE || size < kMinFileText) return tqplat::ERROR_INVALID_DATA;
    unsigned char mark[3];
    std::uint32_t read = 0;
    if (tqplat::SetFilePointer(handle, 0, nullptr, tqplat::FILE_BEGIN) ==
            tqplat::INVALID_SET_FILE_POINTER ||
        !tqplat::ReadFile(handle, mark, sizeof mark, &read, nullptr) || read != sizeof mark)
        return tqplat::ERROR_INVALID_DATA;
    if (mark[0] == 0xFF && mark[1] == 0xFE) {
        m_uTextStart = 2;
        m_uTextSize = (size - 2) & ~1u;
    } else if (mark[0] == 0xEF && mark[1] == 0xBB) {
        if (mark[2] != 0xBF) return tqplat::ERROR_INVALID_DATA;
        m_uTextStart = 3;
        m_uTextSize = size - 3;
    } else {
        m_uTextStart = 0;
        m_uTextSize = size;
    }
    if (m_uTextStart != 3 &&
        tqplat::SetFilePointer(handle, static_cast<std::int32_t>(m_uTextStart), nullptr,
                               tqplat::FILE_BEGIN) == tqplat::INVALID_SET_FILE_POINTER)
        return tqplat::ERROR_INVALID_DATA;
    if (m_uTextSize < kMinFileText) return tqplat::ERROR_INVALID_DATA;
    if (!allocBuffer()) return tqplat::GetLastError();
    if (!tqplat::ReadFile(handle, m_pBuffer, m_uTextSize, &read, nullptr)) {
        releaseBuffer();
        return tqplat::ERROR_INVALID_DATA;
    }
    auto* bytes = static_cast<unsigned char*>(m_pBuffer);
    bytes[read] = 0;
    bytes[read + 1] = 0;
    const bool parsed = openByWidth(context, handle, kSourceHandle, report);
    releaseBuffer();
    return parsed ? 0 : tqplat::ERROR_INVALID_DATA;
}

}  // namespace tqcore
