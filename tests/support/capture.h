#pragma once
// What the library shows while one Capture lives: log lines, message boxes
// and assumption reports. Each Capture starts with empty lists and puts the
// previous sink, hooks and debug switch back when it goes.
#include <mutex>
#include <string>
#include <vector>

#include "tqcore/diag.h"
#include "tqcore/log.h"
#include "tqplatform/system.h"

namespace tqtest {

inline std::u16string U16(const unsigned short* text) {
    return text ? std::u16string(reinterpret_cast<const char16_t*>(text)) : std::u16string();
}

class Capture {
  public:
    struct Shown {
        unsigned int selector1;  // log selectors, or the box type
        unsigned int selector2;
        std::u16string text;
        std::u16string caption;  // message boxes only
    };
    struct Report {
        std::string expression, title, file, function;
        unsigned int line;
    };

    // Leaves the debug switch as it is.
    Capture() : Capture(tqcore::IsDebugOn()) {}
    explicit Capture(bool debugOn) : m_wasDebug(tqcore::IsDebugOn()) {
        tqcore::SetDebugOn(debugOn);
        Log().clear();
        Boxes().clear();
        Reports().clear();
        m_oldSink = tqcore::SetLogSink(&logLine);
        m_oldBox = tqcore::SetMessageBoxHook(&box);
        m_oldReport = tqcore::SetDetailedMessageBoxHook(&report);
    }
    ~Capture() {
        tqcore::SetLogSink(m_oldSink);
        tqcore::SetMessageBoxHook(m_oldBox);
        tqcore::SetDetailedMessageBoxHook(m_oldReport);
        tqcore::SetDebugOn(m_wasDebug);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    // Read them once the threads that log have finished.
    static std::vector<Shown>& Log() {
        static std::vector<Shown> lines;
        return lines;
    }
    static std::vector<Shown>& Boxes() {
        static std::vector<Shown> boxes;
        return boxes;
    }
    static std::vector<Report>& Reports() {
        static std::vector<Report> reports;
        return reports;
    }
    const std::vector<Report>& reports() const { return Reports(); }
    // Every log line in one text.
    static std::u16string AllLog() {
        std::u16string all;
        for (const Shown& line : Log()) all += line.text;
        return all;
    }

  private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static void logLine(unsigned int s1, unsigned int s2, const unsigned short* text) {
        std::lock_guard<std::mutex> lock(mutex());
        Log().push_back({s1, s2, U16(text), {}});
    }
    static int box(const unsigned short* text, const unsigned short* caption, unsigned int type) {
        std::lock_guard<std::mutex> lock(mutex());
        Boxes().push_back({type, 0, U16(text), U16(caption)});
        return 1;
    }
    static bool report(const char* expression, const char* title, const char* file,
                       unsigned int line, const char* function) {
        std::lock_guard<std::mutex> lock(mutex());
        Reports().push_back({expression, title, file, function, line});
        return false;
    }

    bool m_wasDebug;
    tqcore::LogSink m_oldSink;
    tqcore::MessageBoxHook m_oldBox;
    tqcore::DetailedMessageBoxHook m_oldReport;
};

}  // namespace tqtest
