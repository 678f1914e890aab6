#include <gtest/gtest.h>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

TEST(PXMLObject, SlotsAreMadeOnlyByTheNonConstAccessors) {
    CPXMLObject p;
    const CPXMLObject& cp = p;
    EXPECT_EQ(cp.operator->(), nullptr);
    EXPECT_FALSE(*cp);
    EXPECT_FALSE(p);  // testing it does not allocate
    CXMLObject* slot = p.operator->();
    ASSERT_NE(slot, nullptr);
    EXPECT_TRUE(p);
    EXPECT_EQ(p.Create(), slot);
    EXPECT_EQ(cp.operator->(), slot);
}

TEST(PXMLObject, CopiesShareTheSlotAndTheLastHolderReleases) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    {
        CPXMLObject a;
        CPXMLObject b = a;  // both empty: no slot to share yet
        a = Node(u"first");
        EXPECT_FALSE(b);

        CPXMLObject c = a;
        CPXMLObject d;
        d = c;
        *c = Node(u"second");
        EXPECT_TRUE(a->IsName(PS(u"second")));
        EXPECT_TRUE(d->IsName(PS(u"second")));
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 1);
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

TEST(PXMLObject, ForeignBlocksAreRefused) {
    CPObjectMemory foreign;
    ASSERT_TRUE(foreign.Alloc(sizeof(CXMLObject), &CXMLObjectList::_vtbl));
    CPXMLObject silent(foreign);
    EXPECT_FALSE(silent);

    ReportRecorder recorder;
    CPXMLObject p(Node(u"x"));
    p = foreign;
    EXPECT_FALSE(p);
    ASSERT_EQ(recorder.reports().size(), 1u);
    ExpectReport(recorder.reports()[0],
                 "cpMem.IsAssignable(sizeof(CXMLObject),&CPXMLObject::_vtbl)", 190);

    CPXMLObject source(Node(u"shared"));
    const CPObjectMemory& asMemory = source;
    CPXMLObject viaMemory(asMemory);
    p = asMemory;
    EXPECT_TRUE(viaMemory->IsName(PS(u"shared")));
    *p = Node(u"changed");
    EXPECT_TRUE(source->IsName(PS(u"changed")));
    EXPECT_EQ(recorder.reports().size(), 1u);
}

}  // namespace
