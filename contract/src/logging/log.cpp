// The family's log: formatting and the sink.
#include "tqcore/log.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <memory>
#include <new>

#include "tqplatform/codepage.h"
#include "tqplatform/wformat.h"

namespace tqcore {
namespace {

// Most messages are short: format them on the stack.
constexpr std::size_t kStackUnits = 2048;
constexpr std::size_t kStackBytes = 4096;

void writeAll(const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(STDERR_FILENO, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

// UTF-8 on stderr, in one write when possible so that messages from several
// threads do not interleave.
void stderrSink(unsigned int, unsigned int, const unsigned short* text) {
    char stackBytes[kStackBytes];
    int size = tqplat::WideCharToMultiByte(tqplat::CP_UTF8, 0, text, -1, stackBytes,
                                           sizeof stackBytes, nullptr, nullptr);
    if (size > 0) {
        writeAll(stackBytes, static_cast<std::size_t>(size) - 1);
        return;
    }
    size = tqplat::WideCharToMultiByte(tqplat::CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<std::size_t>(size)]);
    if (!bytes) return;
    size = tqplat::WideCharToMultiByte(tqplat::CP_UTF8, 0, text, -1, bytes.get(), size, nullptr,
                                       nullptr);
    if (size > 0) writeAll(bytes.get(), static_cast<std::size_t>(size) - 1);
}

std::atomic<LogSink> g_sink{nullptr};

// Made once and kept for the life of the process: messages may be logged by
// the destructors of other static objects.
tqplat::_locale_t numberLocale() {
    static const tqplat::_locale_t locale =
        tqplat::_create_locale(tqplat::LOCALE_ALL_CATEGORIES, "English");
    return locale;
}

// Formats into `buffer`; true when the whole text and its terminator fit.
bool formatInto(unsigned short* buffer, std::size_t count, const unsigned short* format,
                va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = tqplat::_vsnwprintf_l(buffer, count, format, numberLocale(), copy);
    va_end(copy);
    return length >= 0 && static_cast<std::size_t>(length) < count;
}

void deliver(unsigned int selector1, unsigned int selector2, const unsigned short* text) {
    LogSink sink = g_sink.load(std::memory_order_acquire);
    (sink ? sink : stderrSink)(selector1, selector2, text);
}

}  // namespace

void wPrintf(unsigned int selector1, unsigned int selector2, const unsigned short* format, ...) {
    if (format == nullptr) return;
    va_list args;
    va_start(args, format);
    // Too long or not a valid format: the format text still says what happened.
    const unsigned short* text = format;
    unsigned short stackText[kStackUnits];
    std::unique_ptr<unsigned short[]> heapText;
    if (formatInto(stackText, kStackUnits, format, args)) {
        text = stackText;
    } else {
        for (std::size_t count = kStackUnits * 2; count <= kMaxLogMessage; count *= 2) {
            heapText.reset(new (std::nothrow) unsigned short[count]);
            if (!heapText) break;
            if (formatInto(heapText.get(), count, format, args)) {
                text = heapText.get();
                break;
            }
        }
    }
    va_end(args);
    deliver(selector1, selector2, text);
}

LogSink SetLogSink(LogSink sink) {
    return g_sink.exchange(sink, std::memory_order_acq_rel);
}

}  // namespace tqcore
