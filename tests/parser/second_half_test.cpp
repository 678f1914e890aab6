// A parse shared with a second thread gives what one thread gives (tree,
// memory figures and pooled texts, or failure record), wherever it splits.
#include "../../src/parser/second_half.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "../../src/parser/text_batch.h"
#include "parser_test_support.h"
#include "tqcore/wtext.h"

namespace tqcore::parsertest {
namespace {

// Elements with attributes, comments, processing instructions, data and
// CDATA, with "<" and ">" inside values, comments and CDATA where a guessed
// start may fall; some documents are broken on purpose.
class Documents {
  public:
    explicit Documents(unsigned seed) : m_rng(seed) {}

    std::string Next() {
        std::string text = "<?xml version=\"1.0\"?>\n<root>\n";
        for (int i = 0, n = pick(8) + 4; i < n; ++i) text += element(1) + "\n";
        text += "</root>\n";
        // Six in ten stay well formed; one in ten ends right after an end tag,
        // where the record standing is reported.
        const int damage = pick(10), size = static_cast<int>(text.size());
        std::size_t tag;
        if (damage == 0)
            text.resize(pick(size));
        else if (damage == 1)
            text[pick(size)] = "<>\"&/"[pick(5)];
        else if (damage == 2)
            text.insert(pick(size), "</zz>");
        else if (damage == 3 && (tag = text.rfind("</", pick(size))) != std::string::npos)
            text.resize(text.find('>', tag) + 1);
        return text;
    }

  private:
    int pick(int n) { return static_cast<int>(m_rng() % static_cast<unsigned>(n)); }

    std::string element(int depth) {
        static const char* const kNames[] = {"a", "bb", "c-d", "e.f", "g_h", "x:y"};
        static const char* const kValues[] = {"1", "a&amp;b",  "&#65;&#x42;", "x>y", "p<q", "it's",
                                              "",  "  s  p  ", "\xE2\x82\xAC"};
        const std::string name = kNames[pick(6)];
        std::string text = "<" + name;
        for (int i = 0, n = pick(4); i < n; ++i) {
            const std::string value = kValues[pick(9)];
            const char quote = value.find('\'') == std::string::npos && pick(2) ? '\'' : '"';
            text += " n" + std::to_string(i) + "=" + quote + value + quote;
        }
        if (pick(4) == 0) return text + (pick(2) ? "/>" : " />");
        text += ">";
        const bool data = depth > 3 || pick(3) == 0;
        for (int i = 0, n = data ? 1 : pick(5); i < n; ++i) {
            text += "\n" + std::string(static_cast<std::size_t>(depth), ' ');
            // Data stands alone in its element; the rest may mix.
            static const char* const kPieces[] = {"<!-- c <x> --> ", "<?pi a=b?>", nullptr,
                                                  "t &lt; u\n v \xC3\xA9", "<![CDATA[ <z> ]]>"};
            const int piece = data ? 3 + pick(2) : pick(3);
            text += kPieces[piece] ? std::string(kPieces[piece]) : element(depth + 1);
        }
        if (pick(80) == 0) text += "mixed";  // data beside children fails
        return text + "\n</" + name + ">";
    }

    std::mt19937 m_rng;
};

// The outcome with what the live tree holds: its memory and the pool's size.
template <class T>
std::string Parsed(const std::vector<T>& text) {
    CXMLDoc doc;
    const CXMLDocTestAccess::Outcome out = CXMLDocTestAccess::Parse(doc, text);
    if (!out.parsed) return Failed(out.code, out.offset);
    std::uint64_t used = 0, spare = 0;
    doc.GetContent().GetMemUsage(used, spare);
    return Tree(doc.GetContent()) + " used " + std::to_string(used) + " spare " +
           std::to_string(spare) + " pooled " + std::to_string(CStringPool::GetCount());
}

// Alone, then split at points across the text; the shipped settings come back.
template <class T>
void ExpectSameSplitAnywhere(const std::vector<T>& text, const std::string& shown) {
    const parser::SecondHalfSettings shipped =
        parser::SetSecondHalfSettings({~std::size_t{0}, 50, 0});
    const std::string alone = Parsed(text);
    for (unsigned percent = 5; percent < 100; percent += 15) {
        parser::SetSecondHalfSettings({0, percent, 0});
        EXPECT_EQ(Parsed(text), alone) << "split from " << percent << "% of\n" << shown;
    }
    parser::SetSecondHalfSettings(shipped);
}

TEST(SecondHalf, SplitAnywhereGivesWhatOneThreadGives) {
    const std::size_t pooledBefore = CStringPool::GetCount();
    const std::uint64_t takenBefore = parser::SecondHalfLevelsTaken();
    Documents documents(7);
    for (int i = 0; i < 150; ++i) {
        const std::string text = documents.Next();
        ExpectSameSplitAnywhere(Ansi(text), text);
        ExpectSameSplitAnywhere(Bytes(text), text);
        ExpectSameSplitAnywhere(Wide(U16(text)), text);
        if (HasFailure()) return;
    }
    // Most guesses are good block starts: the second thread's work was used.
    EXPECT_GT(parser::SecondHalfLevelsTaken() - takenBefore, 1000u);
    EXPECT_EQ(CStringPool::GetCount(), pooledBefore);
}

// A parse that runs beside another pools its new texts shard by shard, in
// batches: it gives what a lone parse gives.
TEST(SecondHalf, ParseBesideAnotherGivesWhatALoneOneGives) {
    const parser::SecondHalfSettings shipped =
        parser::SetSecondHalfSettings({~std::size_t{0}, 50, 0});
    Documents documents(11);
    for (int i = 0; i < 100 && !HasFailure(); ++i) {
        const std::string text = documents.Next();
        const std::string alone = Parsed(Bytes(text)) + Parsed(Wide(U16(text)));
        const parser::ParseRunning other;
        EXPECT_EQ(Parsed(Bytes(text)) + Parsed(Wide(U16(text))), alone) << text;
    }
    parser::SetSecondHalfSettings(shipped);
}

// Whether parsing `text` under the shipped settings took a second half.
bool Splits(const std::string& text) {
    const std::uint64_t before = parser::SecondHalfLevelsTaken();
    CXMLDoc doc;
    EXPECT_TRUE(
        doc.OpenDocText(reinterpret_cast<const unsigned char*>(text.c_str()), CXML_REPORT_SILENT));
    return parser::SecondHalfLevelsTaken() > before;
}

// An element `name` holding `item` again and again, `bytes` long or a little more.
std::string Repeated(const std::string& item, std::size_t bytes, const std::string& name = "r") {
    std::string text = "<" + name + ">";
    while (text.size() < bytes) text += item;
    return text + "</" + name + ">";
}

// Large enough texts split under the shipped settings; tags packed closer
// than those settings allow keep one thread.
TEST(SecondHalf, ShippedSettingsSplitLargeTextsWithRoomyTags) {
    const parser::SecondHalfSettings shipped = parser::SetSecondHalfSettings({0, 50, 0});
    parser::SetSecondHalfSettings(shipped);
    EXPECT_TRUE(Splits(Repeated("<item n='1'>some text</item>\n", shipped.leastBytes)));
    EXPECT_FALSE(Splits(Repeated("<e/>", shipped.leastBytes)));
    // Long texts hold their tags far apart: here the start tags nearest to
    // the chosen point lie 72,000 units before it and 228,000 after.
    EXPECT_TRUE(Splits(Repeated("<t>" + std::string(300000, 'x') + "</t>", 3600000)));
    EXPECT_FALSE(Splits(Repeated("<item n='1'>some text</item>\n", shipped.leastBytes / 2)));
    // Not allowed a second thread, the same text stays on one.
    EXPECT_TRUE(module::SecondThread::Allow(false));
    EXPECT_FALSE(Splits(Repeated("<item n='1'>some text</item>\n", shipped.leastBytes)));
    EXPECT_FALSE(module::SecondThread::Allow(true));
}

// Releasing a tree built in halves, whose second half, handed to the second
// thread, holds a long list of its own, leaves the second thread free for
// the next parse.
TEST(SecondHalf, NestedLongListsLeaveTheSecondThreadFree) {
    const std::string item = "<item n='1'>some text</item>\n";
    std::string items;
    for (int i = 0; i < 1100; ++i) items += item;
    // The second half starts inside the long list <l>: both lists are built
    // in halves, and <l> falls in the second thread's share of the release.
    const std::string nested = "<r>" + items + Repeated(item, 1 << 20, "l") + items + "</r>";
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(Splits(nested));
        EXPECT_TRUE(Splits(Repeated(item, 1 << 20)));
    }
}

// The second thread's batches intern shard by shard, yet give their
// strings out in order; a text that finds no memory is the one reported,
// those before it are given and those after it keep no reference.
TEST(SecondHalf, GroupedBatchGivesInOrderAndReportsTheFirstTextWithoutMemory) {
    const std::size_t before = CStringPool::GetCount();
    std::vector<std::u16string> texts;
    for (char16_t i = 0; i < 40; ++i) texts.push_back({u'g', u'b', u'-', char16_t(u'A' + i)});
    for (const std::int64_t countdown : {std::int64_t{-1}, std::int64_t{0}, std::int64_t{10}}) {
        SCOPED_TRACE(countdown);
        parser::PieceCache<unsigned short> cache;
        parser::TextBatch<unsigned short, unsigned> batch;
        ASSERT_TRUE(batch.GroupByShard());
        for (unsigned i = 0; i < texts.size(); ++i)
            ASSERT_TRUE(batch.Add(W(texts[i].c_str()), texts[i].size(), i));
        std::vector<unsigned> given;
        std::vector<CPPoolString> strings;
        SetAllocationFailureCountdown(countdown);
        const unsigned* failed = batch.Flush(cache, [&](unsigned waiter, CPPoolString text) {
            given.push_back(waiter);
            strings.push_back(std::move(text));
        });
        SetAllocationFailureCountdown(-1);
        for (unsigned i = 0; i < given.size(); ++i) {
            EXPECT_EQ(given[i], i);
            EXPECT_EQ(strings[i], CPPoolString(texts[i].c_str()));
        }
        if (countdown < 0) {
            EXPECT_EQ(failed, nullptr);
            EXPECT_EQ(given.size(), texts.size());
        } else {
            ASSERT_NE(failed, nullptr);
            EXPECT_EQ(*failed, given.size());
        }
    }
    EXPECT_EQ(CStringPool::GetCount(), before);
}

}  // namespace
}  // namespace tqcore::parsertest
