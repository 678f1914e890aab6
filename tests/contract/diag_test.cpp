#include "tqcore/diag.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include "contract_test_support.h"

namespace {

struct Report {
    std::string expression, title, file, function;
    unsigned int line = 0;
};
Report g_lastReport;
std::atomic<int> g_reports{0};
bool g_hookVerdict = false;

bool recordingHook(const char* expression, const char* title, const char* file, unsigned int line,
                   const char* function) {
    g_lastReport = {expression, title, file, function, line};
    ++g_reports;
    return g_hookVerdict;
}

std::atomic<int> g_otherReports{0};
bool otherHook(const char*, const char*, const char*, unsigned int, const char*) {
    ++g_otherReports;
    return false;
}

class DiagnosticsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_reports = 0;
        g_otherReports = 0;
        g_hookVerdict = false;
        m_debugWas = tqcore::IsDebugOn();
    }
    void TearDown() override {
        tqcore::SetDetailedMessageBoxHook(nullptr);
        tqcore::SetDebugOn(m_debugWas);
    }
    bool m_debugWas = false;
};

TEST_F(DiagnosticsTest, HookReceivesEveryArgumentAndDecidesTheVerdict) {
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(&recordingHook), nullptr);
    for (bool verdict : {false, true}) {
        g_hookVerdict = verdict;
        EXPECT_EQ(tqcore::DetailedMessageBox("a != b", "Runtime exclusion failed", "xmlobj", 42,
                                             "void f()"),
                  verdict);
    }
    EXPECT_EQ(g_reports, 2);
    EXPECT_EQ(g_lastReport.expression, "a != b");
    EXPECT_EQ(g_lastReport.title, "Runtime exclusion failed");
    EXPECT_EQ(g_lastReport.file, "xmlobj");
    EXPECT_EQ(g_lastReport.line, 42u);
    EXPECT_EQ(g_lastReport.function, "void f()");
}

TEST_F(DiagnosticsTest, SettingAHookReturnsThePreviousAndNullRestoresTheDefault) {
    tqcore::SetDetailedMessageBoxHook(&recordingHook);
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(&otherHook), &recordingHook);
    tqcore::DetailedMessageBox("x", "t", "f", 1, "g");
    EXPECT_EQ(g_reports, 0);
    EXPECT_EQ(g_otherReports, 1);
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(nullptr), &otherHook);

    ::testing::internal::CaptureStderr();
    const bool verdict =
        tqcore::DetailedMessageBox("p == q", "Illegal code point reached", "xmlout", 7, "int h()");
    const std::string line = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(verdict);
    EXPECT_EQ(g_otherReports, 1);
    for (const char* part : {"p == q", "Illegal code point reached", "xmlout", "7", "int h()"}) {
        EXPECT_NE(line.find(part), std::string::npos) << part << " missing from: " << line;
    }
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line expected: " << line;
}

TEST_F(DiagnosticsTest, DefaultReportSurvivesNullArguments) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(tqcore::DetailedMessageBox(nullptr, nullptr, nullptr, 0, nullptr));
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
}

TEST_F(DiagnosticsTest, HooksCanBeSwappedWhileAnotherThreadReports) {
    constexpr int kReports = 20000;
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
    // Every report reached exactly one of the two hooks, never the default.
    EXPECT_EQ(g_reports + g_otherReports, kReports);
}

TEST_F(DiagnosticsTest, DebugSwitchFollowsSetDebugOn) {
    for (bool on : {true, false, true}) {
        tqcore::SetDebugOn(on);
        EXPECT_EQ(tqcore::IsDebugOn(), on);
    }
}

// The initial switch comes from the environment of a fresh process: each
// case runs in a re-executed child.
struct DebugEnvironmentCase {
    const char* value;  // null: unset
    bool expected;
};

class DebugEnvironmentTest : public ::testing::TestWithParam<DebugEnvironmentCase> {};

TEST_P(DebugEnvironmentTest, InitialValueComesFromTqDebug) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    const DebugEnvironmentCase& c = GetParam();
    EXPECT_EXIT(
        {
            if (c.value) {
                setenv("TQ_DEBUG", c.value, 1);
            } else {
                unsetenv("TQ_DEBUG");
            }
            std::_Exit(tqcore::IsDebugOn() ? 10 : 20);
        },
        ::testing::ExitedWithCode(c.expected ? 10 : 20), "");
}

INSTANTIATE_TEST_SUITE_P(
    Values, DebugEnvironmentTest,
    ::testing::Values(DebugEnvironmentCase{"1", true}, DebugEnvironmentCase{nullptr, false},
                      DebugEnvironmentCase{"0", false}, DebugEnvironmentCase{"", false},
                      DebugEnvironmentCase{"11", false}, DebugEnvironmentCase{" 1", false},
                      DebugEnvironmentCase{"true", false}));

struct FaultCase {
    int signal;
    int verdict;
    const char16_t* description;
};

class AnalyseExceptionTest : public ::testing::TestWithParam<FaultCase> {
  protected:
    void SetUp() override { m_debugWas = tqcore::IsDebugOn(); }
    void TearDown() override { tqcore::SetDebugOn(m_debugWas); }
    bool m_debugWas = false;
};

TEST_P(AnalyseExceptionTest, VerdictAndLogLineDependOnTheSignal) {
    const FaultCase& c = GetParam();
    const void* address = reinterpret_cast<const void*>(0xdead0);
    {
        tqcore::SetDebugOn(false);
        tqtest::LogCapture capture;
        EXPECT_EQ(tqcore::AnalyseException(c.signal, address), c.verdict);
        EXPECT_TRUE(capture.Lines().empty()) << "logged with debug output off";
    }
    tqcore::SetDebugOn(true);
    tqtest::LogCapture capture;
    EXPECT_EQ(tqcore::AnalyseException(c.signal, address), c.verdict);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].selector1, 0u);
    EXPECT_EQ(lines[0].selector2, 15u);
    EXPECT_NE(lines[0].text.find(u"0xdead0"), std::u16string::npos);
    EXPECT_NE(lines[0].text.find(c.description), std::u16string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, AnalyseExceptionTest,
    ::testing::Values(FaultCase{SIGSEGV, tqcore::EXCEPTION_EXECUTE_HANDLER, u"access violation"},
                      FaultCase{SIGBUS, tqcore::EXCEPTION_EXECUTE_HANDLER, u"bus error"},
                      FaultCase{SIGFPE, tqcore::EXCEPTION_EXECUTE_HANDLER, u"arithmetic fault"},
                      FaultCase{SIGILL, tqcore::EXCEPTION_EXECUTE_HANDLER, u"illegal instruction"},
                      FaultCase{SIGINT, tqcore::EXCEPTION_CONTINUE_SEARCH, u"unhandled signal"},
                      FaultCase{0, tqcore::EXCEPTION_CONTINUE_SEARCH, u"unhandled signal"},
                      FaultCase{-5, tqcore::EXCEPTION_CONTINUE_SEARCH, u"unhandled signal"}));

}  // namespace
