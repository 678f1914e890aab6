// The parse's cache in front of the string pool: the tree holds exactly the
// pooled strings a parse without it made, through evictions, long pieces and
// slot collisions, and every reference the cache took is given back.
#include "../../src/parser/piece_cache.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "parser_test_support.h"

namespace tqcore {
namespace {

using parsertest::Ansi;
using parsertest::Bytes;
using parsertest::Tree;
using parsertest::U16;
using parsertest::Wide;

template <class T>
using Cache = parser::PieceCache<T>;

template <class T>
std::uint32_t SlotOf(const std::string& ascii) {
    const std::vector<T> units(ascii.begin(), ascii.end());
    return Cache<T>::Hash(units.data(), units.size()) & (Cache<T>::kSlots - 1);
}

// An ASCII document whose pieces overrun the cache several times, come back
// after their slots were reused, are too long to be kept, and (last) an
// attribute whose new name and new value share one slot, so that pooling
// the value evicts the name before the node has taken it.
template <class T>
struct Generated {
    std::string text = "<r>";
    std::string tree = "<Main>(r(";
    std::set<std::string> pieces{"<Main>", "r"};

    Generated() {
        const int distinct = 3 * static_cast<int>(Cache<T>::kSlots);
        for (int i = 0; i < distinct + 200; ++i) element(i < distinct ? i : i - distinct);
        const std::string longName(Cache<T>::kLongestCached + 1, 'n');
        const std::string longValue(3 * Cache<T>::kLongestCached, 'v');
        for (int i = 0; i < 2; ++i) add("l", longName, longValue, longValue + "d");
        const std::string name = "fresh";
        std::string value;
        for (int j = 0; SlotOf<T>(value = "c" + std::to_string(j)) != SlotOf<T>(name); ++j) {
        }
        add("x", name, value, "");
        text += "</r>";
        tree += "))";
    }
    void element(int i) {
        const std::string n = std::to_string(i);
        add("e" + std::to_string(i % 50), "k", "v" + n, "d" + n);
    }
    void add(const std::string& tag, const std::string& name, const std::string& value,
             const std::string& data) {
        text += "<" + tag + " " + name + "='" + value + "'>" + data + "</" + tag + ">";
        if (tree.back() != '(') tree += ' ';
        tree += tag + "[" + name + "='" + value + "']" + (data.empty() ? "" : "{" + data + "}");
        pieces.insert({tag, name, value});
        if (!data.empty()) pieces.insert(data);
    }
    // How many pieces the parse adds to the pool.
    std::size_t newPieces() const {
        std::size_t n = 0;
        for (const std::string& p : pieces) {
            const std::u16string w = U16(p);
            n += CStringPool::QueryStringRefn(reinterpret_cast<const unsigned short*>(w.c_str()),
                                              static_cast<unsigned int>(w.size()))
                     .isnull();
        }
        return n;
    }
};

template <class T>
void CheckGenerated(const char* width, std::vector<T> (*units)(const std::string&)) {
    SCOPED_TRACE(width);
    const Generated<T> gen;
    const std::size_t before = CStringPool::GetCount();
    const std::size_t added = gen.newPieces();
    CPPoolString kept;
    {
        CXMLDoc doc;
        ASSERT_TRUE(CXMLDocTestAccess::Parse(doc, units(gen.text)).parsed);
        EXPECT_EQ(Tree(doc.GetContent()), gen.tree);
        EXPECT_EQ(CStringPool::GetCount(), before + added);
        unsigned int count = 0;
        const CXMLObject* children = CXMLObjectTestAccess::Children(doc.GetContent(), count);
        ASSERT_EQ(count, 1u);
        const CXMLObject* records = CXMLObjectTestAccess::Children(children[0], count);
        ASSERT_GT(count, 0u);
        unsigned int attributes = 0;
        kept = records[count - 1].GetAttributes(attributes)[0].GetName();
        EXPECT_EQ(kept, CPPoolString(u"fresh"));
    }
    EXPECT_EQ(CStringPool::GetCount(), before + 1) << "only the kept name outlives the tree";
    kept.Free();
    EXPECT_EQ(CStringPool::GetCount(), before);
}

TEST(PieceCache, TreeHoldsThePooledPiecesAndEveryReferenceIsReturned) {
    CheckGenerated<char>("ANSI", [](const std::string& s) { return Ansi(s); });
    CheckGenerated<unsigned char>("UTF-8", [](const std::string& s) { return Bytes(s); });
    CheckGenerated<unsigned short>("UTF-16", [](const std::string& s) { return Wide(U16(s)); });
}

CPPoolString Converted(std::uint32_t codePage, const std::string& bytes) {
    std::vector<unsigned short> units(bytes.size() + 1);
    const int n =
        tqplat::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                    units.data(), static_cast<int>(units.size()));
    return n > 0 ? CStringPool::GetStringRefn(units.data(), static_cast<unsigned int>(n))
                 : CPPoolString();
}

// Narrow pieces are widened with their ASCII run inline and the rest through
// the converter: the pooled text must be the converter's for the whole piece,
// whether the piece is kept by the cache, found in it or too long for it.
TEST(PieceCache, NarrowPiecesPoolTheConvertersText) {
    const std::string tail64(64, 'a');
    const std::vector<std::string> utf8 = {
        "\xC3\xA9",                     // no ASCII run
        "abcdefg\xC3\xA9",              // run ends inside the first block
        "abcdefgh\xC3\xA9xyz",          // run ends on a block edge
        "abcdefghijklmno\xE2\x82\xAC",  // three-byte form after the run
        "abcdefgh\xF0\x9F\x98\x80",     // four bytes, a surrogate pair
        "abcdefgh\xC3",                 // cut sequence at the end
        "abcdefgh\xE2\x82z\x80\xFFq",   // invalid runs between ASCII
        "\xED\xA0\x80x\xC0\xAF",        // encoded surrogate, overlong form
        tail64 + "\xC3\xA9",            // longer than the cache keeps
        "\xC3\xA9" + tail64 + "\xC3\xA9" + tail64,
    };
    const std::vector<std::string> ansi = {"\x80\x9F", "abcdefgh\x80", tail64 + "\x81\xE9"};
    auto check = [](std::uint32_t codePage, const std::string& piece, auto units) {
        SCOPED_TRACE(piece);
        const CPPoolString expected = Converted(codePage, piece);
        ASSERT_FALSE(expected.isnull());
        CXMLDoc doc;
        const std::string text =
            "<r><a v='" + piece + "'>" + piece + "</a><b v='" + piece + "'>" + piece + "</b></r>";
        ASSERT_TRUE(CXMLDocTestAccess::Parse(doc, units(text)).parsed);
        unsigned int count = 0;
        const CXMLObject* r = CXMLObjectTestAccess::Children(doc.GetContent(), count);
        const CXMLObject* elements = CXMLObjectTestAccess::Children(r[0], count);
        ASSERT_EQ(count, 2u);
        for (unsigned int i = 0; i < count; ++i) {
            unsigned int attributes = 0;
            EXPECT_EQ(CXMLObjectTestAccess::Data(elements[i]), expected);
            EXPECT_EQ(elements[i].GetAttributes(attributes)[0].GetValue(), expected);
        }
    };
    for (const std::string& piece : utf8)
        check(tqplat::CP_UTF8, piece, [](const std::string& s) { return Bytes(s); });
    for (const std::string& piece : ansi)
        check(tqplat::CP_ACP, piece, [](const std::string& s) { return Ansi(s); });
}

}  // namespace
}  // namespace tqcore
