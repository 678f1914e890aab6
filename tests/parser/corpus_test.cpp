// Every corpus document without mixed content parses, from the file and from
// UTF-16 text, into as many elements and attributes as the corpus lists
// (attributes as written: defaults declared in a DTD are not applied).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "parser_test_support.h"

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

std::u16string Utf16(const std::string& utf8) {
    std::u16string out(utf8.size() + 1, u'\0');
    const int n = tqplat::MultiByteToWideChar(
        tqplat::CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
        reinterpret_cast<unsigned short*>(out.data()), static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

TEST(Corpus, DocumentsParseWhole) {
    const struct {
        const char* name;
        Counts expected;
    } documents[] = {
        {"Gio-2.0.gir.xml", {50099, 112226}},
        {"attrs.xml", {9753, 162196}},
        {"deep.xml", {10000, 10}},
        {"docbook-5.0.rng.xml", {10248, 6608}},
        {"freedesktop.org.xml", {41997, 42726}},
        {"iso_639-3.xml", {7911, 49080}},
        {"libxml2-api.xml", {16411, 35501}},
        {"records.xml", {163460, 87306}},
        {"text.xml", {40, 80}},
        {"wide.xml", {200001, 0}},
    };
    for (const auto& d : documents) {
        const std::string path = std::string(TQXML_CORPUS_DIR) + "/" + d.name;
        CXMLDoc doc;
        ASSERT_EQ(doc.OpenDocFile(parsertest::U16(path).c_str(), 0, CXML_REPORT_SILENT), 0u)
            << d.name;
        std::stringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        CXMLDoc fromText;
        ASSERT_TRUE(fromText.OpenDocText(Utf16(text.str()).c_str(), CXML_REPORT_SILENT)) << d.name;
        for (CXMLDoc* parsed : {&doc, &fromText}) {
            const Counts counts = Count(parsed->GetContent());
            EXPECT_EQ(counts.elements, d.expected.elements) << d.name;
            EXPECT_EQ(counts.attributes, d.expected.attributes) << d.name;
        }
    }
}

// Mixed content holds more than one data run per element: refused.
TEST(Corpus, MixedContentIsRefused) {
    const std::string path = std::string(TQXML_CORPUS_DIR) + "/libxml2-news.xhtml.xml";
    CXMLDoc doc;
    EXPECT_EQ(doc.OpenDocFile(parsertest::U16(path).c_str(), 0, CXML_REPORT_SILENT), 13u);
    EXPECT_FALSE(doc.GetContent());
}

}  // namespace
}  // namespace tqcore
