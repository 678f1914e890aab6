// Assertion reports, the debug switch, signal analysis and the log.
#include "tqcore/diag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "contract_test_support.h"

namespace {

using tqtest::Capture;
using tqtest::W;

std::string g_lastReport;
std::atomic<int> g_reports{0}, g_otherReports{0};

bool recordingHook(const char* expression, const char* title, const char* file, unsigned int line,
                   const char* function) {
    g_lastReport = std::string(expression) + "|" + title + "|" + file + "|" + std::to_string(line) +
                   "|" + function;
    return ++g_reports % 2 == 0;  // the hook's answer is the result
}

bool otherHook(const char*, const char*, const char*, unsigned int, const char*) {
    ++g_otherReports;
    return false;
}

// Every report reaches exactly one hook, also while another thread swaps them;
// without a hook each report is one line on stderr and the verdict is false.
TEST(DiagnosticsHook, GetsEveryArgumentAndCanBeSwappedWhileAnotherThreadReports) {
    constexpr int kReports = 2000;
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(&recordingHook), nullptr);
    g_reports = g_otherReports = 0;
    EXPECT_FALSE(tqcore::DetailedMessageBox("x", "t", "f", 1, "g"));
    EXPECT_TRUE(
        tqcore::DetailedMessageBox("a != b", "Runtime exclusion failed", "xmlobj", 42, "void f()"));
    EXPECT_EQ(g_lastReport, "a != b|Runtime exclusion failed|xmlobj|42|void f()");
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        while (!done) {
            tqcore::SetDetailedMessageBoxHook(&otherHook);
            tqcore::SetDetailedMessageBoxHook(&recordingHook);
        }
    });
    for (int i = 0; i < kReports; ++i) tqcore::DetailedMessageBox("e", "t", "f", 1, "g");
    done = true;
    swapper.join();
    EXPECT_EQ(g_reports + g_otherReports, kReports + 2);
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(nullptr), &recordingHook);

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(
        tqcore::DetailedMessageBox("p == q", "Illegal code point reached", "xmlout", 7, "int h()"));
    EXPECT_FALSE(tqcore::DetailedMessageBox(nullptr, nullptr, nullptr, 0, nullptr));
    const std::string lines = ::testing::internal::GetCapturedStderr();
    for (const char* part : {"p == q", "Illegal code point reached", "xmlout", "7", "int h()"})
        EXPECT_NE(lines.find(part), std::string::npos) << part << " missing from: " << lines;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
}

// The initial switch comes from the environment of a fresh process.
TEST(DebugSwitch, InitialValueComesFromTqDebug) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    const std::pair<const char*, bool> cases[] = {{"1", true}, {nullptr, false}, {"11", false}};
    for (const auto& [value, on] : cases) {
        EXPECT_EXIT(
            {
                value ? setenv("TQ_DEBUG", value, 1) : unsetenv("TQ_DEBUG");
                std::_Exit(tqcore::IsDebugOn() ? 10 : 20);
            },
            ::testing::ExitedWithCode(on ? 10 : 20), "")
            << (value ? value : "unset");
    }
}

TEST(AnalyseException, VerdictAndLogLineDependOnTheSignal) {
    const int handle = tqcore::EXCEPTION_EXECUTE_HANDLER,
              search = tqcore::EXCEPTION_CONTINUE_SEARCH;
    const struct {
        int signal, verdict;
        const char16_t* description;
    } cases[] = {{SIGSEGV, handle, u"access violation"}, {SIGBUS, handle, u"bus error"},
                 {SIGFPE, handle, u"arithmetic fault"},  {SIGILL, handle, u"illegal instruction"},
                 {SIGINT, search, u"unhandled signal"},  {-5, search, u"unhandled signal"}};
    for (const auto& c : cases) {
        for (bool debug : {false, true}) {
            Capture capture(debug);
            EXPECT_EQ(tqcore::AnalyseException(c.signal, reinterpret_cast<const void*>(0xdead0)),
                      c.verdict);
            const auto& lines = Capture::Log();
            ASSERT_EQ(lines.size(), debug ? 1u : 0u) << "signal " << c.signal;
            if (!debug) continue;
            EXPECT_EQ(lines[0].selector1 * 100 + lines[0].selector2, 15u);
            EXPECT_NE(lines[0].text.find(u"0xdead0"), std::u16string::npos);
            EXPECT_NE(lines[0].text.find(c.description), std::u16string::npos) << c.signal;
        }
    }
}

// Around the first buffer's edge and far beyond 64 K units the message comes
// whole; past the maximum it is logged as its format.
TEST(WPrintf, LongMessagesAreNotTruncated) {
    for (std::size_t length : {2045u, 2046u, 70000u, unsigned(tqcore::kMaxLogMessage)}) {
        std::u16string body(length, u'x');
        body[length / 2] = u'\u20ac';
        Capture capture;
        tqcore::wPrintf(3, 4, W(u"<%s>"), W(body.c_str()));
        const bool tooLong = length == tqcore::kMaxLogMessage;
        EXPECT_EQ(Capture::AllLog(), tooLong ? u"<%s>" : u"<" + body + u">") << length;
    }
}

std::vector<std::u16string> g_otherLines;
void otherSink(unsigned int, unsigned int, const unsigned short* text) {
    g_otherLines.push_back(tqtest::U16(text));
}

TEST(LogSink, SettingReturnsThePreviousAndNullRestoresUtf8Stderr) {
    EXPECT_EQ(tqcore::SetLogSink(&otherSink), nullptr) << "another test left a sink installed";
    tqcore::wPrintf(1, 2, W(u"to other"));
    EXPECT_EQ(tqcore::SetLogSink(nullptr), &otherSink);
    EXPECT_EQ(g_otherLines, std::vector<std::u16string>{u"to other"});
    for (std::size_t length : {std::size_t(10), std::size_t(20000)}) {  // a stack or heap buffer
        const std::string body(length, 'z');
        ::testing::internal::CaptureStderr();
        // U+00E9, U+20AC and U+1D11E (a surrogate pair) take 2, 3 and 4 bytes.
        tqcore::wPrintf(1, 2, W(u"caf\u00e9 %d \u20ac \U0001D11E[%hs]\r\n"), 7, body.c_str());
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "caf\xc3\xa9 7 \xe2\x82\xac \xf0\x9d\x84\x9e[" + body + "]\r\n");
    }
}

TEST(WPrintf, ThreadsDeliverWholeMessages) {
    constexpr int kThreads = 4, kMessages = 500;
    Capture capture;
    tqtest::RunThreads(kThreads, [](int t) {
        for (int i = 0; i < kMessages; ++i) tqcore::wPrintf(t, i, W(u"thread %d message %d"), t, i);
    });
    ASSERT_EQ(Capture::Log().size(), static_cast<std::size_t>(kThreads * kMessages));
    for (const auto& line : Capture::Log()) {
        const std::string expected = "thread " + std::to_string(line.selector1) + " message " +
                                     std::to_string(line.selector2);
        EXPECT_EQ(line.text, std::u16string(expected.begin(), expected.end()));
    }
}

}  // namespace
