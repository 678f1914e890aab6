// Every corpus document without mixed content survives an image with UTF-16
// and with UTF-8 strings, and a pack; two unpacked trees do not share nodes.
#include "image_test_support.h"
#include "support/corpus_list.h"
#include "tqxml/xmldoc.h"

using namespace xmlobj_test;

namespace {

class CorpusImage : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusImage, StoreLoadAndPackUnpackGiveEqualTrees) {
    std::string text = tqtest::ReadBytes(tqtest::CorpusPath(GetParam()));
    ASSERT_FALSE(text.empty());
    if (text.compare(0, 3, "\xEF\xBB\xBF") != 0) text.insert(0, "\xEF\xBB\xBF");
    CXMLDoc doc;
    ASSERT_TRUE(doc.OpenDocText(static_cast<const void*>(text.c_str()), CXML_REPORT_SILENT));
    const CXMLObject& tree = doc.GetContent();

    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "UTF-16" : "UTF-8");
        CPMemory image;
        ASSERT_TRUE(CXMLObject::Store(image, tree, wide));
        EXPECT_EQ(Difference(CXMLObject::Load(image), tree), "");
    }

    const Cxmpobject pack(tree);
    ASSERT_TRUE(pack);
    CXMLObject first = pack;
    const CXMLObject second = pack;
    EXPECT_EQ(Difference(first, tree), "");
    // Emptying every node of one unpacked tree leaves the other as it was.
    std::vector<CXMLObject*> pending{&first};
    while (!pending.empty()) {
        CXMLObject* node = pending.back();
        pending.pop_back();
        unsigned int n = 0;
        CXMLObject* children = node->GetElements(n);
        for (unsigned int i = 0; i < n; ++i) pending.push_back(children + i);
        node->Rename(PS(u"gone"));
        node->DeleteData();
    }
    EXPECT_EQ(Difference(second, tree), "");
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusImage, ::testing::ValuesIn(tqtest::kCorpusDocuments),
                         [](const auto& info) { return tqtest::CorpusTestName(info.param); });

}  // namespace
