// A parsed tree must be what the public node operations build by hand, one
// Add and AddAttribute at a time, each child added once complete: the same
// nodes, memory figures (capacities too, as children are handed over in one
// block), pool size and holder counts (pieces go through a cache in front of
// the pool, so every reference it took must come back).
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

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

// Opens `bytes` through `entry` and compares the tree with the one built by
// hand; both give back every pooled text when they go.
void ExpectAsBuiltByHand(Entry entry, const std::string& bytes) {
    const std::size_t before = CStringPool::GetCount();
    TreeText parsed, byHand;
    {
        CXMLObject rebuilt;
        {
            CXMLDoc doc;
            ASSERT_EQ(Open(doc, entry, bytes), "");
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
    const std::string bytes = tqtest::ReadBytes(tqtest::CorpusPath(GetParam()));
    const std::u16string wide = tqtest::Utf16Document(bytes);
    ExpectAsBuiltByHand(Entry::Wide, std::string(reinterpret_cast<const char*>(wide.data()),
                                                 wide.size() * sizeof(char16_t)));
    ExpectAsBuiltByHand(Entry::Utf8, bytes);
    ExpectAsBuiltByHand(Entry::File, bytes);
}

INSTANTIATE_TEST_SUITE_P(Corpus, HandBuilt, testing::ValuesIn(tqtest::kCorpusDocuments),
                         [](const auto& info) { return tqtest::CorpusTestName(info.param); });

}  // namespace
}  // namespace tqcore::parsertest
