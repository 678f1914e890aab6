// Parsers registered and unregistered on two threads while a third stores
// properties: every property is stored, and each run sees a consistent list.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "xmlprop/xmlprop_test_support.h"

namespace {

using namespace xmlprop_test;

void CountingParser(tagXMLPROPERTY& h, const CXMLObject&) {
    ++h.dwDataParam;
}
void OtherCountingParser(tagXMLPROPERTY& h, const CXMLObject&) {
    h.dwDataParam += 1000;
}

void Churn(XMLCACHEPARSER parser, const std::atomic<bool>& stop, std::atomic<int>& registrations) {
    while (!stop.load()) {
        if (CPXMLProperty::RegisterCacheParser(parser, nullptr)) ++registrations;
        CPXMLProperty::UnregisterCacheParser(parser);
    }
}

TEST(XmlPropThreadTest, ParsersChangeWhilePropertiesAreSet) {
    std::atomic<bool> stop{false};
    std::atomic<int> firstRegistrations{0}, secondRegistrations{0};
    std::thread first(Churn, &CountingParser, std::cref(stop), std::ref(firstRegistrations));
    std::thread second(Churn, &OtherCountingParser, std::cref(stop), std::ref(secondRegistrations));
    bool allStored = true, allPlausible = true;
    // Until both threads have churned a while, within a bound.
    for (int i = 0;
         i < 200000 && (i < 2000 || firstRegistrations < 200 || secondRegistrations < 200); ++i) {
        CPXMLProperty prop;
        allStored &= prop.SetPropertyID(1, Node(u"Tree"), kGuidA, nullptr, 0, 0);
        const std::uint32_t seen = prop ? prop->dwDataParam : 0xFFFFFFFF;
        allPlausible &= seen == 0 || seen == 1 || seen == 1000 || seen == 1001;
    }
    stop = true;
    first.join();
    second.join();
    EXPECT_TRUE(allStored);
    EXPECT_TRUE(allPlausible) << "a parser ran twice or a run saw a broken list";
    EXPECT_GE(firstRegistrations, 200);
    EXPECT_GE(secondRegistrations, 200);
    EXPECT_FALSE(CPXMLProperty::UnregisterCacheParser(&CountingParser)) << "left registered";
}

}  // namespace
