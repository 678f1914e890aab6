#include "tqcore/log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "contract_test_support.h"

namespace {

using tqtest::Capture;
using tqtest::W;

TEST(WPrintf, FormatsWithWideConventionsAndPassesTheSelectors) {
    Capture capture;
    tqcore::wPrintf(3, 16, W(u"%s|%ls|%hs|%d|%u|%I64x|%%|%.2f\r\n"), W(u"wide\u00e9"), W(u"also"),
                    "narrow", -42, 4000000000u, std::uint64_t{0x1234abcd5678ef90ull}, 1.5);
    tqcore::wPrintf(0, 15, nullptr);  // logs nothing
    ASSERT_EQ(Capture::Log().size(), 1u);
    EXPECT_EQ(Capture::Log()[0].selector1 * 100 + Capture::Log()[0].selector2, 316u);
    EXPECT_EQ(Capture::AllLog(),
              u"wide\u00e9|also|narrow|-42|4000000000|1234abcd5678ef90|%|1.50\r\n");
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
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kMessages; ++i)
                tqcore::wPrintf(t, i, W(u"thread %d message %d"), t, i);
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_EQ(Capture::Log().size(), static_cast<std::size_t>(kThreads * kMessages));
    for (const auto& line : Capture::Log()) {
        const std::string expected = "thread " + std::to_string(line.selector1) + " message " +
                                     std::to_string(line.selector2);
        EXPECT_EQ(line.text, std::u16string(expected.begin(), expected.end()));
    }
}

}  // namespace
