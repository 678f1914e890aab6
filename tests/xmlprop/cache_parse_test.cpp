// Cache parsers at work: order, changes to the header, exceptions, and a
// list that changes while the parsers run.
#include <gtest/gtest.h>

#include <stdexcept>

#include "xmlprop/xmlprop_test_support.h"

namespace {

using namespace xmlprop_test;

// Each appends its digit to dwDataParam.
void ParserA(tagXMLPROPERTY& h, const CXMLObject&) {
    h.dwDataParam = h.dwDataParam * 10 + 1;
}
void ParserB(tagXMLPROPERTY& h, const CXMLObject&) {
    h.dwDataParam = h.dwDataParam * 10 + 2;
}
void ParserC(tagXMLPROPERTY& h, const CXMLObject&) {
    h.dwDataParam = h.dwDataParam * 10 + 3;
}
// Writes, then throws: what it wrote stays.
void ThrowingParser(tagXMLPROPERTY& h, const CXMLObject&) {
    h.dwIDParam = 4242;
    throw std::runtime_error("parser failed");
}
// Takes B out of the list and puts C in, while the parsers run.
void ReshufflingParser(tagXMLPROPERTY& h, const CXMLObject&) {
    CPXMLProperty::UnregisterCacheParser(&ParserB);
    CPXMLProperty::RegisterCacheParser(&ParserC, nullptr);
    h.dwDataParam = h.dwDataParam * 10 + 9;
}
// Sees the tree the property is set from.
CPPoolString g_seenName;
void NameParser(tagXMLPROPERTY&, const CXMLObject& tree) {
    g_seenName = tree.GetName();
}

// Registers the parsers for the life of the object, in the order given.
class Registered {
  public:
    Registered(std::initializer_list<XMLCACHEPARSER> parsers) : m_parsers(parsers) {
        for (XMLCACHEPARSER p : m_parsers)
            EXPECT_TRUE(CPXMLProperty::RegisterCacheParser(p, nullptr));
    }
    ~Registered() {
        for (XMLCACHEPARSER p : m_parsers) CPXMLProperty::UnregisterCacheParser(p);
    }

  private:
    std::vector<XMLCACHEPARSER> m_parsers;
};

std::uint32_t StoredDataParam(std::uint32_t dataParam) {
    CPXMLProperty prop;
    if (!prop.SetPropertyID(1, Node(u"Tree"), kGuidA, nullptr, 0, dataParam)) return 0xDEAD;
    return prop->dwDataParam;
}

TEST(XmlPropCacheParseTest, ParsersRunInRegistrationOrder) {
    Registered parsers{&ParserA, &ParserB};
    EXPECT_EQ(StoredDataParam(0), 12u);
    CPXMLProperty prop;
    ASSERT_TRUE(prop.SetPropertyID(1, Node(u"Tree"), kGuidA, nullptr, 0, 5));
    EXPECT_EQ(prop->dwDataParam, 512u);
    ASSERT_TRUE(prop.SetPropertyData(Node(u"Other"), 7));
    EXPECT_EQ(prop->dwDataParam, 712u);
}

TEST(XmlPropCacheParseTest, UnregisteringKeepsTheOrderOfTheRest) {
    Registered parsers{&ParserA, &ParserB, &ParserC};
    EXPECT_EQ(StoredDataParam(0), 123u);
    ASSERT_TRUE(CPXMLProperty::UnregisterCacheParser(&ParserB));
    EXPECT_EQ(StoredDataParam(0), 13u);
}

TEST(XmlPropCacheParseTest, ParsersSeeTheTree) {
    Registered parsers{&NameParser};
    g_seenName.Free();
    StoredDataParam(0);
    EXPECT_EQ(Text(g_seenName), u"Tree");
}

TEST(XmlPropCacheParseTest, ThrowingParserIsReportedAndSkipped) {
    Registered parsers{&ParserA, &ThrowingParser, &ParserB};
    ReportRecorder recorder;
    CPXMLProperty prop;
    ASSERT_TRUE(prop.SetPropertyID(1, Node(u"Tree"), kGuidA, nullptr, 0, 0));
    EXPECT_EQ(prop->dwDataParam, 12u) << "the next parser ran";
    EXPECT_EQ(prop->dwIDParam, 4242u) << "what the parser wrote before it threw stays";
    ASSERT_EQ(recorder.reports().size(), 1u);
    EXPECT_EQ(recorder.reports()[0].expression, "Exception in XML property parser invocation");
    EXPECT_EQ(recorder.reports()[0].title, "Illegal code point reached");
    EXPECT_EQ(recorder.reports()[0].file, "xmlprop");
}

// A run goes over the list as it was when the run began.
TEST(XmlPropCacheParseTest, ListChangedByAParserAppliesToTheNextRun) {
    Registered parsers{&ReshufflingParser, &ParserB};
    EXPECT_EQ(StoredDataParam(0), 92u);
    EXPECT_EQ(StoredDataParam(0), 93u);
    CPXMLProperty::UnregisterCacheParser(&ParserC);
}

}  // namespace
