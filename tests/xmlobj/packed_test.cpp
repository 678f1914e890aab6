// Packed objects: sharing, independence of unpacked trees and the
// broken-count report.
#include "image_test_support.h"

namespace tqcore {
struct CxmpobjectTestAccess {
    static CxmpobjectBody* Body(const Cxmpobject& o) { return o.m_pO; }
    static void Adopt(Cxmpobject& o, CxmpobjectBody* body) { o.m_pO = body; }
};
}  // namespace tqcore

using namespace xmlobj_test;

namespace {

CXMLObject Sample() {
    CXMLObject root = Node(u"root");
    root.AddAttribute(PS(u"k"), PS(u"v"));
    CXMLObject item = Node(u"item");
    item.Add(W(u"text"));
    root.Add(item);
    root.Add(Node(u"empty"));
    return root;
}

TEST(Packed, EmptyAndFailedPacksAreEmpty) {
    const Cxmpobject none;
    EXPECT_FALSE(none);
    EXPECT_FALSE(static_cast<CXMLObject>(none));
    Cxmpobject fromNull{CXMLObject()};
    EXPECT_FALSE(fromNull);
    Cxmpobject reused(Sample());
    ASSERT_TRUE(reused);
    reused = CXMLObject();
    EXPECT_FALSE(reused);
}

TEST(Packed, UnpackedTreesAreIndependentOfThePackAndEachOther) {
    const CXMLObject original = Sample();
    const Cxmpobject pack(original);
    CXMLObject first = pack;
    const CXMLObject second = pack;
    ASSERT_EQ(Difference(first, original), "");
    first.SetAttribute(PS(u"k"), PS(u"changed"));
    first.item(0u)->Set(W(u"other"));
    const Cxmpobject repacked(first);
    EXPECT_EQ(Difference(second, original), "");
    EXPECT_EQ(Difference(static_cast<CXMLObject>(pack), original), "");
    EXPECT_EQ(Difference(static_cast<CXMLObject>(repacked), first), "");

    CXMLObject mixed = Node(u"p");
    mixed.Add(W(u"d"));
    mixed.Add(Node(u"c"));
    const CXMLObject unpacked = Cxmpobject(mixed);
    EXPECT_EQ(unpacked.GetType(), CXML_TYPE_DATA);
    EXPECT_EQ(Text(unpacked.GetData()), u"d");
    EXPECT_EQ(unpacked.item(0u), nullptr);
}

TEST(Packed, CopiesShareOneBody) {
    const std::int64_t bodies = GetXmpObjectBodyCount();
    {
        Cxmpobject a(Sample());
        Cxmpobject b(a);
        Cxmpobject c;
        c = b;
        c = c;
        EXPECT_EQ(GetXmpObjectBodyCount(), bodies + 1);
        std::uint64_t used = 0, spare = 0;
        a.GetMemUsage(used, spare);
        EXPECT_GT(used, sizeof(CxmpobjectBody));
        a.Free();
        EXPECT_FALSE(a);
        EXPECT_TRUE(b && c);
        EXPECT_EQ(Difference(static_cast<CXMLObject>(c), Sample()), "");
        b.Free();
        EXPECT_EQ(GetXmpObjectBodyCount(), bodies + 1);
    }
    EXPECT_EQ(GetXmpObjectBodyCount(), bodies);
}

TEST(Packed, BrokenCountIsReportedAndNothingIsFreed) {
    const std::int64_t bodies = GetXmpObjectBodyCount();
    ReportRecorder recorder;
    Cxmpobject pack(Sample());
    CxmpobjectBody* body = CxmpobjectTestAccess::Body(pack);
    body->m_lRefCnt = 0;
    pack.Free();
    ASSERT_EQ(recorder.reports().size(), 1u);
    ExpectReport(recorder.reports()[0], "m_pO->m_lRefCnt >= 1", 4527,
                 "void tqcore::Cxmpobject::_decrement()");
    EXPECT_EQ(GetXmpObjectBodyCount(), bodies + 1);
    // Mend the count so the body goes back.
    body->m_lRefCnt = 1;
    CxmpobjectTestAccess::Adopt(pack, body);
    pack.Free();
    EXPECT_EQ(recorder.reports().size(), 1u);
    EXPECT_EQ(GetXmpObjectBodyCount(), bodies);
}

}  // namespace
