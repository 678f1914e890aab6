// Round trip over the corpus: parse, write to a file sink, parse the file
// again, and the trees must be equal. Documents with mixed content are left
// out: their text between child elements has no place in the tree.
#include <gtest/gtest.h>

#include <cctype>
#include <utility>

#include "support/corpus_list.h"
#include "tqxml/xmldoc.h"
#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

// For messages: ASCII as it is, anything else as '?'.
std::string Narrow(const CPPoolString& s) {
    std::string out;
    for (unsigned int i = 0; i < s.len(); ++i) {
        const unsigned short c = static_cast<const unsigned short*>(s)[i];
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

// An attribute value as the parser reads it back when the writer has put it
// out as it is: the escape set has no member for TAB, LF or CR, so a run of
// them (from character references in the source) comes back as one space.
std::u16string AsReadBack(const CPPoolString& value) {
    std::u16string out;
    const unsigned short* p = value;
    for (unsigned int i = 0; i < value.len(); ++i) {
        const unsigned short c = p[i];
        const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (!space)
            out += static_cast<char16_t>(c);
        else if (out.empty() || out.back() != u' ')
            out += u' ';
    }
    while (!out.empty() && out.back() == u' ') out.pop_back();
    return out;
}

// The first difference between two trees, as a path and a reason; empty
// when they are equal.
std::string Difference(const CXMLObject& left, const CXMLObject& right) {
    std::vector<std::pair<const CXMLObject*, const CXMLObject*>> pending{{&left, &right}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        if (a->GetName() != b->GetName()) return "names differ";
        if (a->GetType() != b->GetType()) return "types differ";
        if (a->GetData() != b->GetData())
            return "data differs: \"" + Narrow(a->GetData()) + "\" vs \"" + Narrow(b->GetData()) +
                   "\" in " + Narrow(a->GetName());
        unsigned int na = 0, nb = 0;
        const CXMLAttribute* aa = a->GetAttributes(na);
        const CXMLAttribute* ab = b->GetAttributes(nb);
        if (na != nb) return "attribute counts differ in " + Narrow(a->GetName());
        for (unsigned int i = 0; i < na; ++i)
            if (aa[i].GetName() != ab[i].GetName() ||
                AsReadBack(aa[i].GetValue()) != AsReadBack(ab[i].GetValue()))
                return "attribute " + Narrow(aa[i].GetName()) + " differs in " +
                       Narrow(a->GetName());
        const CXMLObject* ca = a->GetElements(na);
        const CXMLObject* cb = b->GetElements(nb);
        if (na != nb) return "child counts differ in " + Narrow(a->GetName());
        for (unsigned int i = 0; i < na; ++i) pending.emplace_back(ca + i, cb + i);
    }
    return "";
}

class RoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, ParseWriteParseGivesTheSameTree) {
    const std::string bytes = tqtest::ReadBytes(tqtest::CorpusPath(GetParam()));
    ASSERT_FALSE(bytes.empty()) << GetParam();
    const std::u16string wide = tqtest::Utf16Document(bytes);
    // Without its byte-order mark, byte text would be read as ANSI.
    const std::string utf8 =
        bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes : "\xEF\xBB\xBF" + bytes;
    TempDir dir;
    const std::u16string written = Wide(dir.Path("written.xml"));

    for (const char* width : {"UTF-8", "UTF-16"}) {
        SCOPED_TRACE(width);
        CXMLDoc first;
        const bool parsed =
            std::string(width) == "UTF-8"
                ? first.OpenDocText(static_cast<const void*>(utf8.c_str()), CXML_REPORT_SILENT)
                : first.OpenDocText(static_cast<const void*>(wide.c_str()), CXML_REPORT_SILENT);
        ASSERT_TRUE(parsed);
        ASSERT_TRUE(first.GetContent());

        CXMLFileOut sink;
        ASSERT_TRUE(sink.Open(written.c_str(), 0));
        ASSERT_TRUE(sink.Write(first.GetContent()));
        ASSERT_TRUE(sink.Close(false));

        CXMLDoc second;
        ASSERT_EQ(second.OpenDocFile(written.c_str(), 0, CXML_REPORT_SILENT), 0u);
        EXPECT_EQ(Difference(first.GetContent(), second.GetContent()), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(tqtest::kCorpusDocuments),
                         [](const auto& info) { return tqtest::CorpusTestName(info.param); });

}  // namespace
}  // namespace xmlout_test
