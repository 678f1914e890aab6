// Every corpus document without mixed content parses, from the file and from
// UTF-16 text, into as many elements and attributes as the corpus lists
// (attributes as written: defaults declared in a DTD are not applied).
#include <gtest/gtest.h>

#include <iterator>

#include "parser_test_support.h"
#include "support/corpus_list.h"

namespace tqcore {
namespace {

struct Counts {
    std::size_t elements = 0;
    std::size_t attributes = 0;
};

// Below the root, without recursion (one document is 10,000 levels deep).
Counts Count(const CXMLObject& root) {
    Counts counts;
    std::vector<CXMLObject> pending{root};
    while (!pending.empty()) {
        const CXMLObject node = pending.back();
        pending.pop_back();
        unsigned int n = 0;
        const CXMLObject* children = CXMLObjectTestAccess::Children(node, n);
        for (unsigned int i = 0; i < n; ++i) pending.push_back(children[i]);
        counts.elements += n;
        counts.attributes += node.GetNAttributes();
    }
    return counts;
}

TEST(Corpus, DocumentsParseWhole) {
    // Elements and attributes of each document, in the order of the list.
    const Counts expected[] = {{50099, 112226}, {9753, 162196}, {10000, 10},    {10248, 6608},
                               {41997, 42726},  {7911, 49080},  {16411, 35501}, {163460, 87306},
                               {40, 80},        {200001, 0}};
    static_assert(std::size(expected) == std::size(tqtest::kCorpusDocuments));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const char* name = tqtest::kCorpusDocuments[i];
        const std::string path = tqtest::CorpusPath(name);
        CXMLDoc doc;
        ASSERT_EQ(doc.OpenDocFile(parsertest::U16(path).c_str(), 0, CXML_REPORT_SILENT), 0u)
            << name;
        CXMLDoc fromText;
        ASSERT_TRUE(fromText.OpenDocText(tqtest::Utf16Document(tqtest::ReadBytes(path)).c_str(),
                                         CXML_REPORT_SILENT))
            << name;
        for (CXMLDoc* parsed : {&doc, &fromText}) {
            const Counts counts = Count(parsed->GetContent());
            EXPECT_EQ(counts.elements, expected[i].elements) << name;
            EXPECT_EQ(counts.attributes, expected[i].attributes) << name;
        }
    }
}

// Mixed content holds more than one data run per element: refused.
TEST(Corpus, MixedContentIsRefused) {
    const std::string path = tqtest::CorpusPath("libxml2-news.xhtml.xml");
    CXMLDoc doc;
    EXPECT_EQ(doc.OpenDocFile(parsertest::U16(path).c_str(), 0, CXML_REPORT_SILENT), 13u);
    EXPECT_FALSE(doc.GetContent());
}

}  // namespace
}  // namespace tqcore
