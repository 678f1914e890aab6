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
bool g_hookVerdict = false;

bool recordingHook(const char* expression, const char* title, const char* file, unsigned int line,
                   const char* function) {
    g_lastReport = std::string(expression) + "|" + title + "|" + file + "|" + std::to_string(line) +
                   "|" + function;
    ++g_reports;
    return g_hookVerdict;
}

bool otherHook(const char*, const char*, const char*, unsigned int, const char*) {
    ++g_otherReports;
    return false;
}

class DiagnosticsHookTest : public ::testing::Test {
  protected:
    void SetUp() override { g_reports = g_otherReports = 0; }
    void TearDown() override { tqcore::SetDetailedMessageBoxHook(nullptr); }
};

TEST_F(DiagnosticsHookTest, HookGetsEveryArgumentAndSettingReturnsThePrevious) {
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(&recordingHook), nullptr);
    for (bool verdict : {false, true}) {
        g_hookVerdict = verdict;
        EXPECT_EQ(tqcore::DetailedMessageBox("a != b", "Runtime exclusion failed", "xmlobj", 42,
                                             "void f()"),
                  verdict);
    }
    EXPECT_EQ(g_reports, 2);
    EXPECT_EQ(g_lastReport, "a != b|Runtime exclusion failed|xmlobj|42|void f()");
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(&otherHook), &recordingHook);
    tqcore::DetailedMessageBox("x", "t", "f", 1, "g");
    EXPECT_EQ(g_reports, 2);
    EXPECT_EQ(g_otherReports, 1);
    EXPECT_EQ(tqcore::SetDetailedMessageBoxHook(nullptr), &otherHook);
}

TEST_F(DiagnosticsHookTest, DefaultReportIsOneStderrLineAndSurvivesNulls) {
    ::testing::internal::CaptureStderr();
    const bool verdict =
        tqcore::DetailedMessageBox("p == q", "Illegal code point reached", "xmlout", 7, "int h()");
    const std::string line = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(verdict);
    for (const char* part : {"p == q", "Illegal code point reached", "xmlout", "7", "int h()"})
        EXPECT_NE(line.find(part), std::string::npos) << part << " missing from: " << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line expected: " << line;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(tqcore::DetailedMessageBox(nullptr, nullptr, nullptr, 0, nullptr));
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
}

TEST_F(DiagnosticsHookTest, HooksCanBeSwappedWhileAnotherThreadReports) {
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

// The initial switch comes from the environment of a fresh process.
TEST(DebugSwitchTest, InitialValueComesFromTqDebug) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    const struct {
        const char* value;  // null: unset
        bool expected;
    } cases[] = {{"1", true}, {nullptr, false}, {"0", false}, {"11", false}, {" 1", false}};
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                if (c.value)
                    setenv("TQ_DEBUG", c.value, 1);
                else
                    unsetenv("TQ_DEBUG");
                std::_Exit(tqcore::IsDebugOn() ? 10 : 20);
            },
            ::testing::ExitedWithCode(c.expected ? 10 : 20), "")
            << (c.value ? c.value : "unset");
    }
}

TEST(AnalyseExceptionTest, VerdictAndLogLineDependOnTheSignal) {
    const bool debugWas = tqcore::IsDebugOn();
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
    const void* address = reinterpret_cast<const void*>(0xdead0);
    for (const auto& c : cases) {
        for (bool debug : {false, true}) {
            tqcore::SetDebugOn(debug);
            EXPECT_EQ(tqcore::IsDebugOn(), debug);
            tqtest::Capture capture;
            EXPECT_EQ(tqcore::AnalyseException(c.signal, address), c.verdict) << c.signal;
            const auto& lines = tqtest::Capture::Log();
            ASSERT_EQ(lines.size(), debug ? 1u : 0u) << "signal " << c.signal;
            if (!debug) continue;
            EXPECT_EQ(lines[0].selector1, 0u);
            EXPECT_EQ(lines[0].selector2, 15u);
            EXPECT_NE(lines[0].text.find(u"0xdead0"), std::u16string::npos);
            EXPECT_NE(lines[0].text.find(c.description), std::u16string::npos);
        }
    }
    tqcore::SetDebugOn(debugWas);
}

}  // namespace
