#include <gtest/gtest.h>

#include <thread>

#include "xmlobj_test_support.h"

using namespace xmlobj_test;

namespace {

TEST(Threads, HandlesOnOneNodeCopiedAndReleasedConcurrently) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    {
        CXMLObject shared = Node(u"shared");
        shared.Add(Node(u"child"));
        auto churn = [&shared] {
            for (int i = 0; i < 200000; ++i) {
                CXMLObject a(shared);
                CXMLObject b;
                b = a;
                a.Free();
            }
        };
        std::thread t1(churn), t2(churn);
        t1.join();
        t2.join();
        EXPECT_TRUE(shared.IsName(PS(u"shared")));
        EXPECT_EQ(GetXMLObjectBodyCount(), bodies + 2);
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

TEST(Threads, LastReleaseOnEitherThreadFreesTheTree) {
    const std::int64_t bodies = GetXMLObjectBodyCount();
    for (int round = 0; round < 200; ++round) {
        CXMLObject tree = Node(u"t");
        for (int i = 0; i < 20; ++i) tree.Add(Node(u"c"));
        CXMLObject first = tree, second = tree;
        tree.Free();
        std::thread t1([h = std::move(first)]() mutable { h.Free(); });
        std::thread t2([h = std::move(second)]() mutable { h.Free(); });
        t1.join();
        t2.join();
    }
    EXPECT_EQ(GetXMLObjectBodyCount(), bodies);
}

}  // namespace
