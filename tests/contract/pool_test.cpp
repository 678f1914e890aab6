#include "tqcore/pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "contract_test_support.h"

using tqcore::CPPoolString;
using tqcore::CPPoolStringArray;
using tqcore::CStringPool;
using tqtest::W;

namespace {

// Hands the pool an ASCII text, or fails to.
class NarrowSubmitter : public tqcore::IStringSubmitter {
  public:
    NarrowSubmitter(const char* text, bool fail = false) : m_text(text), m_fail(fail) {}
    unsigned int GetLength() override { return m_text ? unsigned(std::strlen(m_text)) : 0; }
    bool Submit(unsigned short* buffer) override {
        ++submits;
        if (m_fail || !m_text) return false;
        std::copy(m_text, m_text + std::strlen(m_text) + 1, buffer);
        return true;
    }
    int submits = 0;

  private:
    const char* m_text;
    bool m_fail;
};

TEST(StringPool, OrderingAndCaseInsensitiveEquality) {
    // Two texts, the sign of their order, and whether they are equal ignoring case.
    const std::tuple<const char16_t*, const char16_t*, int, bool> cases[] = {
        {u"a", u"b", -1, false},
        {u"ab", u"a", 1, false},
        {u"abc", u"abc", 0, true},
        {u"TRUE", u"true", -1, true},
        {u"\u00C9t\u00E9", u"\u00E9T\u00C9", -1, true},
        {u"\u0416", u"\u0436", -1, true},
        {u"\u0401", u"\u0451", -1, true},
        {u"\u03A3", u"\u03C3", -1, true},
        {u"\u00D7", u"\u00F7", -1, false},  // multiplication and division signs are no letters
        {u"", u"a", -1, false},
    };
    for (const auto& [textA, textB, sign, iequal] : cases) {
        CPPoolString a(textA), b(textB);
        const int order = a.pcmp(b);
        EXPECT_EQ((order > 0) - (order < 0), sign) << tqtest::U16(W(textA)).size();
        EXPECT_EQ(-b.pcmp(a) > 0, sign > 0);
        EXPECT_EQ(a.iequals(b), iequal);
        EXPECT_EQ(a == b, sign == 0);
    }
    CPPoolString null;
    EXPECT_LT(null.pcmp(CPPoolString::pempty), 0);
    EXPECT_FALSE(null.iequals(CPPoolString::pempty));
    EXPECT_TRUE(null.iequals(CPPoolString()));
}

TEST(StringPool, NullEmptySubmittedAndAllocationFailure) {
    EXPECT_TRUE(CStringPool::GetStringRef(static_cast<const unsigned short*>(nullptr)).isnull());
    EXPECT_TRUE(CStringPool::QueryStringRefn(W(u"never-interned-before-q1"), 24).isnull());
    EXPECT_EQ(CStringPool::GetStringRefn(W(u"xyz"), 0), CPPoolString::pempty);
    EXPECT_FALSE(CPPoolString::pempty.isnull() || static_cast<bool>(CPPoolString::pempty));
    NarrowSubmitter hello("hello"), nullSource(nullptr), failing("abc", true), empty("");
    EXPECT_EQ(CStringPool::GetStringRef(hello), CPPoolString(u"hello"));
    EXPECT_TRUE(CStringPool::GetStringRef(nullSource).isnull());
    EXPECT_EQ(nullSource.submits, 1) << "asked even for an empty text";
    EXPECT_TRUE(CStringPool::GetStringRef(failing).isnull());
    EXPECT_EQ(CStringPool::GetStringRef(empty), CPPoolString::pempty);

    EXPECT_TRUE(
        tqtest::WithoutMemory([] { return CPPoolString(u"cannot-be-allocated-now"); }).isnull());
    EXPECT_FALSE(CPPoolString(u"cannot-be-allocated-now").isnull());
}

TEST(StringPool, TwoThreadsInternAndReleaseTheSameTexts) {
    const std::size_t before = CStringPool::GetCount();
    std::vector<std::u16string> names;
    for (int i = 0; i < 200; ++i)
        names.push_back({u'n', char16_t(u'A' + i % 26), char16_t(u'0' + i / 26)});
    tqtest::RunThreads(2, [&](int) {
        for (int round = 0; round < 300; ++round) {
            std::vector<CPPoolString> held(names.size());
            for (std::size_t i = 0; i < held.size(); ++i) held[i] = CPPoolString(names[i].c_str());
            for (std::size_t i = 0; i < held.size(); ++i)
                ASSERT_EQ(CPPoolString(held[i]), CPPoolString(names[i].c_str()));
        }
    });
    EXPECT_EQ(CStringPool::GetCount(), before);
}

// References taken and given back several at a time: the entry lives while
// any are held, by its last holder or another, and goes with the last.
TEST(StringPool, ReferencesTakenAndDroppedManyAtATime) {
    using tqcore::detail::PoolAccess;
    const std::size_t before = CStringPool::GetCount();
    const std::u16string text = u"many refs";
    const auto* units = W(text.c_str());
    const auto count = static_cast<std::uint32_t>(text.size());
    const auto hash = tqcore::detail::HashUnits(units, count);
    for (const std::int32_t other : {0, 1}) {
        SCOPED_TRACE(other);
        tqcore::detail::PoolEntry* entry = tqcore::detail::InternHashed(units, count, hash, 3);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(tqcore::detail::InternHashed(units, count, hash, 2), entry);  // 5 now
        CPPoolString holder = other ? CStringPool::GetStringRefn(units, count) : CPPoolString();
        PoolAccess::ReleaseMany(entry, 3);
        EXPECT_EQ(CStringPool::GetCount(), before + 1);
        PoolAccess::ReleaseMany(entry, 2);
        EXPECT_EQ(CStringPool::GetCount(), before + other);
        holder.Free();
        EXPECT_EQ(CStringPool::GetCount(), before);
    }
}

// A release batch gathers the drops of a string a tree repeats and counts
// them down together: exactly as many as were dropped, so a holder outside
// the tree keeps the string, and its own release then frees it.
TEST(StringPool, ReleaseBatchCountsRepeatedDropsExactly) {
    using tqcore::detail::PoolAccess;
    const std::size_t before = CStringPool::GetCount();
    CPPoolString outside(u"held by a tree and one more");
    {
        std::vector<CPPoolString> tree(300, outside);
        tqcore::detail::ReleaseBatch batch;
        for (CPPoolString& s : tree) PoolAccess::Drop(s);
    }
    tqcore::detail::PoolEntry* entry = PoolAccess::Detach(outside);
    EXPECT_EQ(entry->refs.load(), 1);
    PoolAccess::Release(entry);
    EXPECT_EQ(CStringPool::GetCount(), before);
}

// Texts interned shard by shard, more than one call holds, with repeats and
// a text pooled before: each gets the entry the one-by-one path gives, with
// the references asked for. Without memory, those that got none are null
// and the others hold what they asked.
TEST(StringPool, GroupedTextsMeetTheirOneByOneEntries) {
    using namespace tqcore::detail;
    const std::size_t before = CStringPool::GetCount();
    const auto numbered = [](unsigned i) {
        std::u16string text = u"grouped-";
        for (const char c : std::to_string(i)) text += static_cast<char16_t>(c);
        return text;
    };
    const CPPoolString there(numbered(7).c_str());
    for (const std::int64_t countdown : {std::int64_t{-1}, std::int64_t{150}}) {
        SCOPED_TRACE(countdown);
        std::vector<std::u16string> texts;
        for (unsigned i = 0; i < kMaxGroupedTexts + 100; ++i) texts.push_back(numbered(i % 300));
        std::vector<GroupedText> grouped;
        for (unsigned i = 0; i < texts.size(); ++i) {
            const auto* units = W(texts[i].c_str());
            const auto count = static_cast<std::uint32_t>(texts[i].size());
            grouped.push_back({units, count, HashUnits(units, count), std::int32_t(i % 3 + 1)});
        }
        std::vector<PoolEntry*> entries(texts.size());
        tqcore::SetAllocationFailureCountdown(countdown);
        InternGrouped(grouped.data(), static_cast<unsigned>(grouped.size()), entries.data());
        tqcore::SetAllocationFailureCountdown(-1);
        const auto got =
            std::count_if(entries.begin(), entries.end(), [](PoolEntry* e) { return e; });
        if (countdown < 0)
            EXPECT_EQ(got, static_cast<std::ptrdiff_t>(texts.size()));
        else
            EXPECT_TRUE(got > 0 && got < static_cast<std::ptrdiff_t>(texts.size()));
        for (unsigned i = 0; i < texts.size(); ++i) {
            if (!entries[i]) continue;
            const GroupedText& t = grouped[i];
            PoolEntry* const again = InternHashed(t.units, t.count, t.hash, 1);
            EXPECT_EQ(again, entries[i]) << i;
            PoolAccess::ReleaseMany(again, 1);
        }
        for (unsigned i = 0; i < texts.size(); ++i)
            if (entries[i]) PoolAccess::ReleaseMany(entries[i], grouped[i].refs);
        EXPECT_EQ(CStringPool::GetCount(), before + 1);
        EXPECT_EQ(CPPoolString(numbered(7).c_str()), there);
    }
}

// A text written in place in room for more units than it came to: an entry
// of its own size whichever block size the room and the text take, the same
// entry as the text interned from a copy, and no second one for a repeat.
TEST(StringPool, TextsBuiltInPlaceMeetTheirCopies) {
    using namespace tqcore::detail;
    const std::size_t before = CStringPool::GetCount();
    // Room and length in units: within one block size, across sizes, and
    // beyond the largest (256 bytes, 119 units) into and out of it.
    const std::pair<std::uint32_t, std::uint32_t> sizes[] = {
        {1, 1}, {10, 5}, {23, 16}, {119, 100}, {200, 119}, {200, 150}, {300, 300}, {600, 2}};
    for (const auto& [room, count] : sizes) {
        SCOPED_TRACE(std::to_string(room) + " " + std::to_string(count));
        std::u16string text;
        for (std::uint32_t i = 0; i < count; ++i) text += char16_t(u'a' + (i * 7 + room) % 26);
        auto build = [&] {
            PoolEntry* built = NewEntry(room);
            EXPECT_NE(built, nullptr);
            std::fill(built->text, built->text + room + 1, u'#');
            std::copy(text.begin(), text.end(), built->text);
            return InternBuilt(built, count);
        };
        PoolEntry* entry = build();
        ASSERT_NE(entry, nullptr);
        CPPoolString first = PoolAccess::Adopt(entry);
        EXPECT_EQ(first.len(), count);
        EXPECT_EQ(std::u16string(first.c16()), text);  // terminated at its length
        EXPECT_EQ(CStringPool::GetStringRefn(W(text.c_str()), count), first);
        EXPECT_EQ(CPPoolString(PoolAccess::Adopt(build())), first);
        EXPECT_EQ(CStringPool::GetCount(), before + 1);
        // Without memory: none to build in, and none to move a text into a
        // smaller block size.
        EXPECT_EQ(tqtest::WithoutMemory([&] { return NewEntry(room); }), nullptr);
        if (room >= 10 && count < 8) {
            PoolEntry* built = NewEntry(room);
            std::fill(built->text, built->text + count, u'z');
            EXPECT_EQ(tqtest::WithoutMemory([&] { return InternBuilt(built, count); }), nullptr);
        }
    }
    EXPECT_EQ(CStringPool::GetCount(), before);
}

// The word-wise comparison and the hash read each byte exactly once, whatever
// the length: a flipped bit anywhere must show in both.
TEST(StringPool, ComparisonAndHashSeeEveryByteOfEveryLength) {
    unsigned char a[140], b[140];  // long texts hash in blocks of 64 bytes from 64 on
    for (unsigned i = 0; i < sizeof a; ++i) a[i] = static_cast<unsigned char>(i * 37 + 11);
    for (std::size_t n = 0; n <= sizeof a; ++n) {
        std::memcpy(b, a, sizeof a);
        EXPECT_TRUE(tqcore::detail::SameBytes(a, b, n)) << n;
        const std::uint32_t hash = tqcore::detail::HashBytes(a, n, n);
        EXPECT_EQ(hash, tqcore::detail::HashBytes(b, n, n)) << n;
        for (std::size_t at = 0; at < n; ++at) {
            b[at] ^= 0x10;
            EXPECT_FALSE(tqcore::detail::SameBytes(a, b, n)) << n << " at " << at;
            EXPECT_NE(hash, tqcore::detail::HashBytes(b, n, n)) << n << " at " << at;
            b[at] ^= 0x10;
        }
    }
}

TEST(PoolStringArray, AddsSharesAndRefusesNullUnlessAllowed) {
    CPPoolStringArray strict(false), lenient(true);
    EXPECT_FALSE(strict.Add(CPPoolString()));
    EXPECT_TRUE(lenient.Add(CPPoolString()));
    for (int i = 0; i < 37; ++i) ASSERT_TRUE(strict.Add(CPPoolString(i % 2 ? u"odd" : u"even")));
    unsigned int count = 0;
    const CPPoolString* items = strict.GetArray(count);
    ASSERT_EQ(count, 37u);
    EXPECT_EQ(items[36], CPPoolString(u"even"));
    CPPoolStringArray copy = strict;
    copy.Add(CPPoolString(u"more"));
    strict.GetArray(count);
    EXPECT_EQ(count, 38u) << "copies share one block";
    strict.Free();
    EXPECT_EQ(strict.GetArray(count), nullptr);
    EXPECT_EQ(count, 0u);
}

}  // namespace
