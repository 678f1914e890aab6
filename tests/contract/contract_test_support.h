#pragma once
// Helpers shared by the contract tests: UTF-16 literals and a log sink that
// records what it receives.
#include <mutex>
#include <string>
#include <vector>

#include "tqcore/log.h"
#include "tqcore/wtext.h"

namespace tqtest {

using tqcore::W;

inline std::u16string U16(const unsigned short* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

struct LogLine {
    unsigned int selector1;
    unsigned int selector2;
    std::u16string text;
};

// Installs itself as the log sink for its lifetime; one at a time.
class LogCapture {
  public:
    LogCapture() : m_previous(tqcore::SetLogSink(&LogCapture::sink)) { instance() = this; }
    ~LogCapture() {
        tqcore::SetLogSink(m_previous);
        instance() = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> Lines() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lines;
    }

  private:
    static LogCapture*& instance() {
        static LogCapture* current = nullptr;
        return current;
    }
    static void sink(unsigned int selector1, unsigned int selector2, const unsigned short* text) {
        LogCapture* self = instance();
        if (self == nullptr) return;
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_lines.push_back({selector1, selector2, U16(text)});
    }

    tqcore::LogSink m_previous;
    std::mutex m_mutex;
    std::vector<LogLine> m_lines;
};

}  // namespace tqtest
