#include <gtest/gtest.h>

#include <string>

#include "capture.h"

namespace tqcore::parsertest {
namespace {

// The text on the dump's channel (selectors 3 and 4; timings use 3 and 16).
std::string DumpText() {
    std::string all;
    for (const Shown& line : Capture::Log())
        if (line.selector1 == 3 && line.selector2 == 4) all += line.text;
    return all;
}

TEST(DocumentDump, WritesTheTreeAsIndentedXmlAfterAHeading) {
    CXMLDoc doc;
    ASSERT_TRUE(doc.OpenDocText(u"<a x=\"1\"><b>hi</b><c/></a>", 2));
    Capture capture(true);
    doc.Dump();
    std::string all = DumpText();
    EXPECT_EQ(all.rfind("\r\n\n---XML Dump---\r\n", 0), 0u) << all;
    std::size_t declaration = all.find("<?xml version=\"1.0\" encoding=\"UTF-16\"?>");
    std::size_t a = all.find("<a x=\"1\">");
    std::size_t b = all.find(" <b>hi</b>");
    std::size_t c = all.find(" <c/>");
    std::size_t end = all.find("</a>");
    ASSERT_NE(declaration, std::string::npos) << all;
    EXPECT_LT(declaration, a);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_LT(c, end);
    EXPECT_NE(end, std::string::npos) << all;
}

TEST(DocumentDump, SaysNothingWithDebugOutputOff) {
    CXMLDoc doc;
    ASSERT_TRUE(doc.OpenDocText(u"<a/>", 2));
    Capture quiet(false);
    doc.Dump();
    EXPECT_TRUE(Capture::Log().empty());
}

}  // namespace
}  // namespace tqcore::parsertest
