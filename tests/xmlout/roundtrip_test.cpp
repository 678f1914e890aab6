// Round trip over the corpus: parse, write to a file sink, parse the file
// again, and the trees must be equal. Documents with mixed content are left
// out: their text between child elements has no place in the tree.
#include <gtest/gtest.h>

#include "support/corpus_list.h"
#include "tqxml/xmldoc.h"
#include "xmlout_test_support.h"

namespace xmlout_test {
namespace {

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

class RoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, ParseWriteParseGivesTheSameTree) {
    const std::string bytes = tqtest::ReadBytes(tqtest::CorpusPath(GetParam()));
    const std::u16string wide = tqtest::Utf16Document(bytes);
    // Without its byte-order mark, byte text would be read as ANSI.
    const std::string utf8 =
        bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes : "\xEF\xBB\xBF" + bytes;
    TempDir dir;
    const std::u16string written = Wide(dir.Path("written.xml"));
    for (const void* text :
         {static_cast<const void*>(utf8.c_str()), static_cast<const void*>(wide.c_str())}) {
        SCOPED_TRACE(text == utf8.c_str() ? "UTF-8" : "UTF-16");
        CXMLDoc first, second;
        ASSERT_TRUE(first.OpenDocText(text, CXML_REPORT_SILENT));
        CXMLFileOut sink;
        ASSERT_TRUE(sink.Open(written.c_str(), 0));
        ASSERT_TRUE(sink.Write(first.GetContent()));
        ASSERT_TRUE(sink.Close(false));
        ASSERT_EQ(second.OpenDocFile(written.c_str(), 0, CXML_REPORT_SILENT), 0u);
        EXPECT_EQ(TreeDifference(first.GetContent(), second.GetContent(),
                                 [](const CPPoolString& a, const CPPoolString& b) {
                                     return AsReadBack(a) == AsReadBack(b);
                                 }),
                  u"");
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(tqtest::kCorpusDocuments),
                         [](const auto& info) { return tqtest::CorpusTestName(info.param); });

}  // namespace
}  // namespace xmlout_test
