// The parser's shortcuts must be invisible: a parsed tree has the nodes,
// memory figures, pool size and holder counts that the public node operations
// give when the same tree is built by hand, one Add and AddAttribute at a
// time, each child added once it is complete. Children are handed over in
// one block when their element ends, so capacities are compared too; pieces
// go through a cache in front of the pool, so every reference it took must
// come back.
#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "../../src/parser/piece_cache.h"
#include "parser_test_support.h"
#include "support/corpus_list.h"
#include "tqcore/pool.h"

namespace tqcore::parsertest {
namespace {

// Every node in document order, one line each, and what the tree holds.
struct TreeText {
    std::vector<std::u16string> nodes;  // name, type, attributes, data, number of children
    std::unordered_map<std::u16string, std::int32_t> holders;  // of every pooled text in the tree
    std::uint64_t used = 0, spare = 0;
};

std::u16string Text(const CPPoolString& s) {
    return s.isnull() ? u"(null)" : std::u16string(s.c16(), s.len());
}

std::int32_t Holders(const CPPoolString& s) {
    const auto* text = reinterpret_cast<const char*>(static_cast<const unsigned short*>(s));
    return reinterpret_cast<const detail::PoolEntry*>(text - offsetof(detail::PoolEntry, text))
        ->refs.load();
}

std::uint64_t Spare(const CXMLObject& node) {
    std::uint64_t used = 0, spare = 0;
    node.GetMemUsage(used, spare);
    return spare;
}

// Without recursion (one document is 10,000 levels deep).
TreeText Capture(const CXMLObject& root) {
    TreeText tree;
    root.GetMemUsage(tree.used, tree.spare);
    auto note = [&tree](const CPPoolString& s) {
        if (!s.isnull() && s.len()) tree.holders[Text(s)] = Holders(s);
        return Text(s) + u'|';
    };
    std::vector<CXMLObject> pending{root};
    while (!pending.empty()) {
        const CXMLObject node = pending.back();
        pending.pop_back();
        std::u16string line = note(node.GetName()) + char16_t(u'0' + node.GetType());
        unsigned int count = 0;
        const CXMLAttribute* attributes = node.GetAttributes(count);
        for (unsigned int i = 0; i < count; ++i)
            line += u' ' + note(attributes[i].GetName()) + note(attributes[i].GetValue());
        line += u" {" + note(CXMLObjectTestAccess::Data(node)) + u"} ";
        const CXMLObject* children = CXMLObjectTestAccess::Children(node, count);
        for (unsigned int i = count; i-- > 0;) pending.push_back(children[i]);
        tree.nodes.push_back(line + U16(std::to_string(count)));
    }
    return tree;
}

// Copies the tree with the public node operations, each child added to its
// parent once it is complete, as a parse completes it.
CXMLObject Rebuild(const CXMLObject& root) {
    struct Open {
        CXMLObject copy;
        const CXMLObject* children;
        unsigned int count, next;
    };
    std::vector<Open> open;
    auto enter = [&open](const CXMLObject& node) {
        CXMLObject copy(node.GetName());
        unsigned int count = 0;
        const CXMLAttribute* attributes = node.GetAttributes(count);
        for (unsigned int i = 0; i < count; ++i)
            EXPECT_TRUE(copy.AddAttribute(attributes[i].GetName(), attributes[i].GetValue()));
        if (const CPPoolString data = CXMLObjectTestAccess::Data(node); !data.isnull()) {
            EXPECT_TRUE(copy.Add(data));
        }
        const CXMLObject* children = CXMLObjectTestAccess::Children(node, count);
        open.push_back({copy, children, count, 0});
    };
    enter(root);
    for (;;) {
        if (open.back().next < open.back().count) {
            enter(open.back().children[open.back().next++]);
            continue;
        }
        const CXMLObject done = open.back().copy;
        open.pop_back();
        if (open.empty()) return done;
        EXPECT_TRUE(open.back().copy.Add(done));
    }
}

// Opens a document with `open` and compares its tree with the one built by
// hand; both give back every pooled text when they go.
void ExpectAsBuiltByHand(const std::function<bool(CXMLDoc&)>& open) {
    const std::size_t before = CStringPool::GetCount();
    TreeText parsed, byHand;
    {
        CXMLObject rebuilt;
        {
            CXMLDoc doc;
            ASSERT_TRUE(open(doc));
            parsed = Capture(doc.GetContent());
            const std::size_t afterParse = CStringPool::GetCount();
            rebuilt = Rebuild(doc.GetContent());
            EXPECT_EQ(CStringPool::GetCount(), afterParse);
            // Growth goes on from the same capacity.
            const CXMLObject grown = Rebuild(doc.GetContent()), extra(CPPoolString(u"x"));
            ASSERT_TRUE(doc.GetContent().item(0u) && grown.item(0u));
            CXMLObject(*doc.GetContent().item(0u)).Add(extra);
            CXMLObject(*grown.item(0u)).Add(extra);
            EXPECT_EQ(Spare(doc.GetContent()), Spare(grown));
        }
        byHand = Capture(rebuilt);
    }
    EXPECT_EQ(CStringPool::GetCount(), before);
    EXPECT_EQ(byHand.used, parsed.used);
    EXPECT_EQ(byHand.spare, parsed.spare);
    EXPECT_EQ(byHand.holders, parsed.holders);
    ASSERT_EQ(byHand.nodes.size(), parsed.nodes.size());
    for (std::size_t i = 0; i < parsed.nodes.size(); ++i)
        ASSERT_EQ(byHand.nodes[i], parsed.nodes[i]) << "node " << i;
}

class HandBuilt : public testing::TestWithParam<const char*> {};

// From UTF-16 and UTF-8 text, and from the file as it is (ANSI unless it
// has a byte-order mark).
TEST_P(HandBuilt, CorpusDocumentsAsBuiltByHand) {
    const std::string path = tqtest::CorpusPath(GetParam());
    const std::string bytes = tqtest::ReadBytes(path);
    const std::u16string wide = tqtest::Utf16Document(bytes);
    ExpectAsBuiltByHand(
        [&](CXMLDoc& doc) { return doc.OpenDocText(wide.c_str(), CXML_REPORT_SILENT); });
    ExpectAsBuiltByHand([&](CXMLDoc& doc) {
        return doc.OpenDocText(reinterpret_cast<const unsigned char*>(bytes.c_str()),
                               CXML_REPORT_SILENT);
    });
    ExpectAsBuiltByHand([&](CXMLDoc& doc) {
        return doc.OpenDocFile(U16(path).c_str(), 0, CXML_REPORT_SILENT) == 0;
    });
}

INSTANTIATE_TEST_SUITE_P(Corpus, HandBuilt, testing::ValuesIn(tqtest::kCorpusDocuments),
                         [](const auto& info) { return tqtest::CorpusTestName(info.param); });

// `n` children of kinds cycling through empty, data, nested and attributed,
// with data before them or not: capacities at and around each growth step.
TEST(HandBuilt, ChildBlocksOfEverySize) {
    static const char* const kKinds[] = {"<e/>", "<d>t</d>", "<n><e/><e/><e/></n>", "<a k='v'/>"};
    for (unsigned int n : {0u, 1u, 2u, 3u, 4u, 5u, 8u, 9u, 17u, 40u, 41u, 296u, 297u, 700u})
        for (const char* lead : {"", "lead"}) {
            SCOPED_TRACE(std::to_string(n) + lead);
            std::string text = std::string("<r>") + lead;
            for (unsigned int i = 0; i < n; ++i) text += kKinds[i % 4];
            ExpectAsBuiltByHand([&](CXMLDoc& doc) {
                return CXMLDocTestAccess::Parse(doc, Wide(U16(text + "</r>"))).parsed;
            });
        }
}

// A failing end tag or a missing one leaves gathered children behind: they
// go with the document and nothing of it stays alive.
TEST(HandBuilt, APartialTreeIsReleasedWhole) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    for (const char* text :
         {"<r><a/><b><c/><d/></b><e/></q>", "<r><a/><b><c/><d/>", "<r><a/><b><c/></x>"}) {
        CXMLDoc doc;
        EXPECT_FALSE(CXMLDocTestAccess::Parse(doc, Wide(U16(text))).parsed) << text;
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies) << text;
    }
}

template <class T>
using Cache = parser::PieceCache<T>;

template <class T>
std::uint32_t SlotOf(const std::string& ascii) {
    const std::vector<T> units(ascii.begin(), ascii.end());
    return Cache<T>::Hash(units.data(), units.size()) & (Cache<T>::kSlots - 1);
}

// An ASCII document whose pieces overrun the parse's cache in front of the
// pool several times, come back after their slots were reused, are too long to be kept, and (last)
// an attribute whose new name and new value share one slot, so that pooling the value evicts the
// name before the node has taken it.
template <class T>
struct Generated {
    std::string text = "<r>";
    std::string tree = "<Main>(r(";

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
    }
};

template <class T>
void CheckGenerated(std::vector<T> (*units)(const std::string&)) {
    const Generated<T> gen;
    EXPECT_EQ(Outcome(units(gen.text)), gen.tree);
    ExpectAsBuiltByHand(
        [&](CXMLDoc& doc) { return CXMLDocTestAccess::Parse(doc, units(gen.text)).parsed; });
}

TEST(HandBuilt, PiecesThroughTheCacheInEveryWidth) {
    CheckGenerated<char>(Ansi);
    CheckGenerated<unsigned char>(Bytes);
    CheckGenerated<unsigned short>([](const std::string& s) { return Wide(U16(s)); });
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
        unsigned int count = 0, attributes = 0;
        const CXMLObject* elements = CXMLObjectTestAccess::Children(doc.GetContentElement(), count);
        ASSERT_EQ(count, 2u);
        for (unsigned int i = 0; i < count; ++i) {
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
}  // namespace tqcore::parsertest
