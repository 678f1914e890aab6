#pragma once
// Captures what the parser shows: log lines and message boxes, installed for
// the life of one object, with the debug switch set as asked.
#include <string>
#include <vector>

#include "parser_test_support.h"
#include "tqcore/diag.h"
#include "tqcore/log.h"
#include "tqplatform/system.h"

namespace tqcore::parsertest {

struct Shown {
    unsigned int selector1;  // log selectors, or the box type
    unsigned int selector2;
    std::string text;     // UTF-8
    std::string caption;  // message boxes only
};

class Capture {
  public:
    explicit Capture(bool debugOn) : m_fWasDebug(IsDebugOn()) {
        SetDebugOn(debugOn);
        Log().clear();
        Boxes().clear();
        m_oldSink = SetLogSink([](unsigned int s1, unsigned int s2, const unsigned short* text) {
            Log().push_back({s1, s2, Utf8(text), {}});
        });
        m_oldBox = SetMessageBoxHook(
            [](const unsigned short* text, const unsigned short* caption, unsigned int type) {
                Boxes().push_back({type, 0, Utf8(text), Utf8(caption)});
                return 1;
            });
    }
    ~Capture() {
        SetLogSink(m_oldSink);
        SetMessageBoxHook(m_oldBox);
        SetDebugOn(m_fWasDebug);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    static std::vector<Shown>& Log() {
        static std::vector<Shown> lines;
        return lines;
    }
    static std::vector<Shown>& Boxes() {
        static std::vector<Shown> boxes;
        return boxes;
    }

  private:
    bool m_fWasDebug;
    LogSink m_oldSink;
    MessageBoxHook m_oldBox;
};

}  // namespace tqcore::parsertest
