// The parser's shortcuts must be invisible: every corpus document, parsed
// from UTF-16 and from UTF-8, gives the tree, memory figures, pool size and
// holder counts that the public node operations give when the same tree is
// built by hand, one Add and AddAttribute at a time.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "parser_test_support.h"
#include "support/corpus_list.h"
#include "tqcore/pool.h"

namespace tqcore {
namespace {

struct Attribute {
    std::u16string name, value;
    bool operator==(const Attribute& o) const { return name == o.name && value == o.value; }
};

// One node in document order; its children follow it.
struct NodeText {
    std::u16string name, data;
    bool dataNull = true;
    unsigned int type = 0;
    std::vector<Attribute> attributes;
    unsigned int children = 0;
    bool operator==(const NodeText& o) const {
        return name == o.name && data == o.data && dataNull == o.dataNull && type == o.type &&
               attributes == o.attributes && children == o.children;
    }
};

struct TreeText {
    std::vector<NodeText> nodes;
    std::unordered_map<std::u16string, std::int32_t> holders;  // of every pooled text in the tree
    std::uint64_t used = 0, spare = 0;
};

std::u16string Text(const CPPoolString& s) {
    return s.isnull() ? std::u16string() : std::u16string(s.c16(), s.len());
}

std::int32_t Holders(const CPPoolString& s) {
    const auto* text = reinterpret_cast<const char*>(static_cast<const unsigned short*>(s));
    return reinterpret_cast<const detail::PoolEntry*>(text - offsetof(detail::PoolEntry, text))
        ->refs.load();
}

// Document order without recursion (one document is 10,000 levels deep).
TreeText Capture(const CXMLObject& root) {
    TreeText tree;
    root.GetMemUsage(tree.used, tree.spare);
    auto note = [&tree](const CPPoolString& s) {
        if (!s.isnull() && s.len()) tree.holders[Text(s)] = Holders(s);
    };
    std::vector<CXMLObject> pending{root};
    while (!pending.empty()) {
        const CXMLObject node = pending.back();
        pending.pop_back();
        NodeText n;
        n.name = Text(node.GetName());
        note(node.GetName());
        n.type = node.GetType();
        const CPPoolString data = CXMLObjectTestAccess::Data(node);
        n.dataNull = data.isnull();
        n.data = Text(data);
        note(data);
        unsigned int count = 0;
        const CXMLAttribute* attributes = node.GetAttributes(count);
        for (unsigned int i = 0; i < count; ++i) {
            n.attributes.push_back({Text(attributes[i].GetName()), Text(attributes[i].GetValue())});
            note(attributes[i].GetName());
            note(attributes[i].GetValue());
        }
        const CXMLObject* children = CXMLObjectTestAccess::Children(node, n.children);
        for (unsigned int i = n.children; i-- > 0;) pending.push_back(children[i]);
        tree.nodes.push_back(std::move(n));
    }
    return tree;
}

CPPoolString Pooled(const std::u16string& text) {
    return CStringPool::GetStringRefn(reinterpret_cast<const unsigned short*>(text.data()),
                                      static_cast<unsigned int>(text.size()));
}

// Builds the captured tree again with the public node operations, each child
// added to its parent once it is complete, as a parse completes it.
CXMLObject Rebuild(const std::vector<NodeText>& nodes) {
    struct Open {
        CXMLObject node;
        unsigned int childrenLeft;
    };
    std::vector<Open> open;
    CXMLObject root;
    for (const NodeText& n : nodes) {
        CXMLObject node(Pooled(n.name));
        for (const Attribute& a : n.attributes)
            EXPECT_TRUE(node.AddAttribute(Pooled(a.name), Pooled(a.value)));
        if (!n.dataNull) {
            EXPECT_TRUE(node.Add(Pooled(n.data)));
        }
        open.push_back({node, n.children});
        while (!open.empty() && open.back().childrenLeft == 0) {
            CXMLObject done = open.back().node;
            open.pop_back();
            if (open.empty()) {
                root = done;
                break;
            }
            EXPECT_TRUE(open.back().node.Add(done));
            --open.back().childrenLeft;
        }
    }
    return root;
}

class HandBuilt : public testing::TestWithParam<const char*> {};

TEST_P(HandBuilt, ParsedTreeEqualsTheTreeBuiltByHand) {
    const std::string bytes = tqtest::ReadBytes(tqtest::CorpusPath(GetParam()));
    const std::u16string wide = tqtest::Utf16Document(bytes);
    for (const bool fromUtf16 : {true, false}) {
        SCOPED_TRACE(fromUtf16 ? "from UTF-16" : "from UTF-8");
        const std::size_t before = CStringPool::GetCount();
        TreeText parsed;
        std::size_t afterParse;
        {
            CXMLDoc doc;
            ASSERT_TRUE(fromUtf16
                            ? doc.OpenDocText(wide.c_str(), CXML_REPORT_SILENT)
                            : doc.OpenDocText(reinterpret_cast<const unsigned char*>(bytes.c_str()),
                                              CXML_REPORT_SILENT));
            parsed = Capture(doc.GetContent());
            afterParse = CStringPool::GetCount();
        }
        EXPECT_EQ(CStringPool::GetCount(), before);  // releasing the tree frees its texts

        const CXMLObject rebuilt = Rebuild(parsed.nodes);
        const TreeText byHand = Capture(rebuilt);
        EXPECT_EQ(CStringPool::GetCount(), afterParse);
        EXPECT_EQ(byHand.used, parsed.used);
        EXPECT_EQ(byHand.spare, parsed.spare);
        EXPECT_EQ(byHand.holders, parsed.holders);
        ASSERT_EQ(byHand.nodes.size(), parsed.nodes.size());
        for (std::size_t i = 0; i < parsed.nodes.size(); ++i)
            ASSERT_EQ(byHand.nodes[i], parsed.nodes[i]) << "node " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, HandBuilt, testing::ValuesIn(tqtest::kCorpusDocuments),
                         [](const auto& info) { return tqtest::CorpusTestName(info.param); });

}  // namespace
}  // namespace tqcore
