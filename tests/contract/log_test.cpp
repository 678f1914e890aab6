#include "tqcore/log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "contract_test_support.h"

namespace {

using tqtest::LogCapture;
using tqtest::W;

TEST(WPrintfTest, FormatsWithWideConventionsAndPassesTheSelectors) {
    LogCapture capture;
    const std::uint64_t big = 0x1234abcd5678ef90ull;
    tqcore::wPrintf(3, 16, W(u"%s|%ls|%hs|%d|%u|%I64x|%%|%.2f\r\n"), W(u"wide\u00e9"), W(u"also"),
                    "narrow", -42, 4000000000u, big, 1.5);
    tqcore::wPrintf(0, 15, W(u"plain"));
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].selector1, 3u);
    EXPECT_EQ(lines[0].selector2, 16u);
    EXPECT_EQ(lines[0].text, u"wide\u00e9|also|narrow|-42|4000000000|1234abcd5678ef90|%|1.50\r\n");
    EXPECT_EQ(lines[1].selector1, 0u);
    EXPECT_EQ(lines[1].selector2, 15u);
    EXPECT_EQ(lines[1].text, u"plain");
}

// Messages longer than the first buffer are delivered whole.
class LongMessageTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LongMessageTest, IsNotTruncated) {
    const std::size_t length = GetParam();
    std::u16string body(length, u'x');
    body[length / 2] = u'\u20ac';
    body.back() = u'!';
    LogCapture capture;
    tqcore::wPrintf(3, 4, W(u"<%s>"), W(body.c_str()));
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, u"<" + body + u">");
}

// Around the first buffer's edge, and far beyond 64 K units.
INSTANTIATE_TEST_SUITE_P(Lengths, LongMessageTest,
                         ::testing::Values(2045u, 2046u, 2047u, 2048u, 5000u, 70000u, 300000u));

TEST(WPrintfTest, TooLongAMessageIsLoggedAsItsFormat) {
    std::u16string body(tqcore::kMaxLogMessage, u'y');
    LogCapture capture;
    tqcore::wPrintf(3, 4, W(u"huge %s"), W(body.c_str()));
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, u"huge %s");
}

TEST(WPrintfTest, NullFormatLogsNothing) {
    LogCapture capture;
    tqcore::wPrintf(3, 4, nullptr);
    EXPECT_TRUE(capture.Lines().empty());
}

std::vector<std::u16string>* g_otherLines = nullptr;
void otherSink(unsigned int, unsigned int, const unsigned short* text) {
    g_otherLines->push_back(tqtest::U16(text));
}

TEST(LogSinkTest, SettingReturnsThePreviousAndNullRestoresStderr) {
    std::vector<std::u16string> otherLines;
    g_otherLines = &otherLines;
    const tqcore::LogSink original = tqcore::SetLogSink(&otherSink);
    EXPECT_EQ(original, nullptr) << "another test left a sink installed";
    tqcore::wPrintf(1, 2, W(u"to other"));
    EXPECT_EQ(tqcore::SetLogSink(nullptr), &otherSink);
    ASSERT_EQ(otherLines.size(), 1u);
    EXPECT_EQ(otherLines[0], u"to other");

    ::testing::internal::CaptureStderr();
    // U+00E9, U+20AC and U+1D11E (a surrogate pair) take 2, 3 and 4 bytes.
    tqcore::wPrintf(1, 2, W(u"caf\u00e9 %d \u20ac \U0001D11E\r\n"), 7);
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(written, "caf\xc3\xa9 7 \xe2\x82\xac \xf0\x9d\x84\x9e\r\n");
    EXPECT_EQ(otherLines.size(), 1u);
    g_otherLines = nullptr;
}

TEST(LogSinkTest, DefaultSinkWritesLongMessagesWhole) {
    const std::string body(20000, 'z');
    ::testing::internal::CaptureStderr();
    tqcore::wPrintf(3, 4, W(u"[%hs]"), body.c_str());
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "[" + body + "]");
}

TEST(WPrintfTest, ThreadsDeliverWholeMessages) {
    constexpr int kThreads = 4;
    constexpr int kMessages = 500;
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kMessages; ++i)
                tqcore::wPrintf(t, i, W(u"thread %d message %d"), t, i);
        });
    }
    for (auto& thread : threads) thread.join();
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kMessages));
    for (const auto& line : lines) {
        const std::string expected = "thread " + std::to_string(line.selector1) + " message " +
                                     std::to_string(line.selector2);
        EXPECT_EQ(line.text, std::u16string(expected.begin(), expected.end()));
    }
}

}  // namespace
