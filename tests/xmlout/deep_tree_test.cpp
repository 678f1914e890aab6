// Trees far deeper than any stack: writing and dumping them.
#include <gtest/gtest.h>

#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

constexpr unsigned int kDepth = 1000000;

const CXMLObject& DeepChain() {
    static const CXMLObject chain = Chain(kDepth);
    return chain;
}

TEST(DeepTree, MillionLevelsGoToAMemorySink) {
    CXMLMemOut sink;
    ASSERT_TRUE(sink.Open());
    ASSERT_TRUE(sink.Write(DeepChain()));
    ASSERT_TRUE(sink.Close(false));
    // "<n>" per level but the last, "<n>x</n>", then "</n>" per level but the last.
    EXPECT_EQ(sink.GetLen(), 3ull * (kDepth - 1) + 8 + 4ull * (kDepth - 1));
    const std::u16string text = U(static_cast<const unsigned short*>(sink));
    EXPECT_EQ(text.substr(0, 9), u"<n><n><n>");
    EXPECT_EQ(text.substr(3 * (kDepth - 1), 12), u"<n>x</n></n>");
}

// Counts the log messages and keeps the last one.
struct LogCounter {
    static inline std::uint64_t count = 0;
    static inline std::u16string last;
    LogCounter()
        : previous(SetLogSink([](unsigned int, unsigned int, const unsigned short* text) {
              ++count;
              last = U(text);
          })) {
        count = 0;
    }
    ~LogCounter() { SetLogSink(previous); }
    LogSink previous;
};

TEST(DeepTree, MillionLevelsAreDumped) {
    LogCounter log;
    DeepChain().Dump(3, 4, 0);
    // Per level an opening and a closing line, plus one data line; the
    // opening lines end with the type as a message of its own.
    EXPECT_EQ(LogCounter::count, 3ull * kDepth + 1);
    EXPECT_EQ(LogCounter::last, u"\r</n>");
}

}  // namespace
}  // namespace xmlout_test
