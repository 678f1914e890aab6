#include "tqcore/diag.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "contract_test_support.h"

namespace {

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

TEST(DiagnosticsHook, GetsEveryArgumentAndSettingReturnsThePrevious) {
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(&recordingHook), nullptr);
    g_reports = g_otherReports = 0;
    EXPECT_FALSE(tqcore::DetailedMessageBox("x", "t", "f", 1, "g"));
    EXPECT_TRUE(
        tqcore::DetailedMessageBox("a != b", "Runtime exclusion failed", "xmlobj", 42, "void f()"));
    EXPECT_EQ(g_lastReport, "a != b|Runtime exclusion failed|xmlobj|42|void f()");
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(&otherHook), &recordingHook);
    tqcore::DetailedMessageBox("x", "t", "f", 1, "g");
    EXPECT_EQ(g_reports + 10 * g_otherReports, 12);
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(nullptr), &otherHook);

    ::testing::internal::CaptureStderr();  // the default: one line on stderr, verdict false
    EXPECT_FALSE(
        tqcore::DetailedMessageBox("p == q", "Illegal code point reached", "xmlout", 7, "int h()"));
    const std::string line = ::testing::internal::GetCapturedStderr();
    for (const char* part : {"p == q", "Illegal code point reached", "xmlout", "7", "int h()"})
        EXPECT_NE(line.find(part), std::string::npos) << part << " missing from: " << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line expected: " << line;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(tqcore::DetailedMessageBox(nullptr, nullptr, nullptr, 0, nullptr));
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
}

TEST(DiagnosticsHook, CanBeSwappedWhileAnotherThreadReports) {
    constexpr int kReports = 20000;
    g_reports = g_otherReports = 0;
    tqcore::SetDetailedMessageBoxHook(&recordingHook);
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
    tqcore::SetDetailedMessageBoxHook(nullptr);
    // Every report reached exactly one of the two hooks, never the default.
    EXPECT_EQ(g_reports + g_otherReports, kReports);
}

// The initial switch comes from the environment of a fresh process.
TEST(DebugSwitch, InitialValueComesFromTqDebug) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    const std::pair<const char*, bool> cases[] = {
        {"1", true}, {nullptr, false}, {"0", false}, {"11", false}, {" 1", false}};
    for (const auto& [value, on] : cases) {
        EXPECT_EXIT(
            {
                if (value) setenv("TQ_DEBUG", value, 1);
                if (!value) unsetenv("TQ_DEBUG");
                std::_Exit(tqcore::IsDebugOn() ? 10 : 20);
            },
            ::testing::ExitedWithCode(on ? 10 : 20), "")
            << (value ? value : "unset");
    }
}

TEST(AnalyseException, VerdictAndLogLineDependOnTheSignal) {
    const struct {
        int signal;
        int verdict;
        const char16_t* description;
    } cases[] = {{SIGSEGV, tqcore::EXCEPTION_EXECUTE_HANDLER, u"access violation"},
                 {SIGBUS, tqcore::EXCEPTION_EXECUTE_HANDLER, u"bus error"},
                 {SIGFPE, tqcore::EXCEPTION_EXECUTE_HANDLER, u"arithmetic fault"},
                 {SIGILL, tqcore::EXCEPTION_EXECUTE_HANDLER, u"illegal instruction"},
                 {SIGINT, tqcore::EXCEPTION_CONTINUE_SEARCH, u"unhandled signal"},
                 {-5, tqcore::EXCEPTION_CONTINUE_SEARCH, u"unhandled signal"}};
    for (const auto& c : cases) {
        for (bool debug : {false, true}) {
            tqtest::Capture capture(debug);
            EXPECT_EQ(tqcore::AnalyseException(c.signal, reinterpret_cast<const void*>(0xdead0)),
                      c.verdict);
            const auto& lines = tqtest::Capture::Log();
            ASSERT_EQ(lines.size(), debug ? 1u : 0u) << "signal " << c.signal;
            if (!debug) continue;
            EXPECT_EQ(lines[0].selector1 * 100 + lines[0].selector2, 15u);
            EXPECT_NE(lines[0].text.find(u"0xdead0"), std::u16string::npos);
            EXPECT_NE(lines[0].text.find(c.description), std::u16string::npos) << c.signal;
        }
    }
}

}  // namespace
