#include <gtest/gtest.h>

#include <string>

#include "parser_test_support.h"
#include "support/capture.h"

namespace tqcore::parsertest {
namespace {

using tqtest::Capture;

// The text on the dump's channel (selectors 3 and 4; timings use 3 and 16).
std::string DumpText() {
    std::string all;
    for (const Capture::Shown& line : Capture::Log())
        if (line.selector1 == 3 && line.selector2 == 4) all += Utf8(line.text);
    return all;
}

TEST(DocumentDump, WritesTheTreeAsIndentedXmlAfterAHeadingWhenDebugIsOn) {
    CXMLDoc doc;
    ASSERT_TRUE(doc.OpenDocText(u"<a x=\"1\"><b>hi</b><c/></a>", 2));
    {
        Capture quiet(false);
        doc.Dump();
        EXPECT_TRUE(Capture::Log().empty());
    }
    Capture capture(true);
    doc.Dump();
    const std::string all = DumpText();
    EXPECT_EQ(all,
              "\r\n\n---XML Dump---\r\n\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
              "<a x=\"1\">\r\n <b>hi</b>\r\n <c/>\r\n</a>\r\n");
}

}  // namespace
}  // namespace tqcore::parsertest
