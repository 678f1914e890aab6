// Parse error reports: the head, the line number, the excerpt with its cuts,
// the caret line, the short report, the three report modes and the text
// restored from each kind of source.
#include <gtest/gtest.h>

#include <functional>

#include "parser_test_support.h"
#include "support/capture.h"
#include "support/temp_dir.h"

namespace tqcore {
namespace {

using parsertest::U16;
using parsertest::Utf8;
using tqtest::Capture;

// The report shown in a message box for ANSI `text`, or "" when none is.
std::string BoxReport(const std::string& text) {
    Capture capture(false);
    CXMLDoc doc;
    EXPECT_FALSE(doc.OpenDocText(text.c_str(), CXML_REPORT_MESSAGEBOX)) << text;
    EXPECT_FALSE(doc.GetContent()) << text;
    const auto& boxes = Capture::Boxes();
    if (boxes.empty()) return "";
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"XML Parsing Error");
    EXPECT_EQ(boxes[0].selector1, 0u);  // MB_OK
    return Utf8(boxes[0].text);
}

std::string Head(unsigned int code, const char* name, const char* context = "(ANSI text)") {
    return std::string("Context: ") + context + "\r\nError: " + std::to_string(code) + " [" + name +
           "]\r\n";
}

TEST(ErrorReport, DumpsTheLineWithACaret) {
    const std::string longData(70, 'x');
    const std::string longLine = "<a>" + longData + "<b/>";  // the error follows: 77 units in
    const std::string tail(30, 'z');
    struct Case {
        std::string text;
        std::string report;
    };
    const Case cases[] = {
        {"<a>\n<b>\n</a>", Head(13, "Bad termination tag") + "Line: 2\r\n</a>\r\n^----\r\n"},
        {"<a>\r\n\r\n  <b></c></a>",
         Head(13, "Bad termination tag") + "Line: 2\r\n  <b></c></a>\r\n  <b>^----\r\n"},
        {"<a b='1' b='2'/>",
         Head(6, "Bad attribute") + "Line: 0\r\n<a b='1' b='2'/>\r\n<a b='1' b^----\r\n"},
        // More than 64 units before the error: "..." and the last 61 of them.
        {"<r>\r\n" + longLine + "y</a></r>",
         Head(14, "Excessively mixed content") + "Line: 1\r\n..." + longLine.substr(16) +
             "y</a></r>\r\n..." + longLine.substr(16) + "^----\r\n"},
        // More than 16 units after it: 13 of them and "...".
        {"<a>x<b/>y" + tail + "</a>", Head(14, "Excessively mixed content") +
                                          "Line: 0\r\n<a>x<b/>y" + tail.substr(0, 12) +
                                          "...\r\n<a>x<b/>^----\r\n"},
        // An error at the end of the text has no line to show.
        {"<a>", "Context: (ANSI text)\r\nError: 1 [End of file]\r\nOffset: 3"},
        {"<a>x", "Context: (ANSI text)\r\nError: 10 [Bad data terminator]\r\nOffset: 4"},
        // No record, or no markup: nothing to report.
        {"</a>", ""},
        {"no markup", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(BoxReport(c.text), c.report) << c.text;
}

TEST(ErrorReport, ModesChooseWhereTheReportGoes) {
    const std::string expected =
        Head(13, "Bad termination tag") + "Line: 0\r\n<a></b>\r\n<a>^----\r\n";
    struct Case {
        unsigned int mode;
        bool debugOn;
        std::size_t boxes;
        std::size_t logLines;
    };
    const Case cases[] = {{0, false, 1, 0}, {0, true, 1, 0}, {1, true, 0, 1},
                          {1, false, 0, 0}, {2, true, 0, 0}, {7, true, 0, 0}};
    for (const Case& c : cases) {
        Capture capture(c.debugOn);
        CXMLDoc doc;
        EXPECT_FALSE(doc.OpenDocText("<a></b>", c.mode)) << c.mode;
        ASSERT_EQ(Capture::Boxes().size(), c.boxes) << c.mode << " " << c.debugOn;
        ASSERT_EQ(Capture::Log().size(), c.logLines) << c.mode << " " << c.debugOn;
        if (c.boxes) {
            EXPECT_EQ(Utf8(Capture::Boxes()[0].text), expected);
        }
        if (c.logLines) {
            EXPECT_EQ(Capture::Log()[0].selector1, 0u);
            EXPECT_EQ(Capture::Log()[0].selector2, 15u);
            EXPECT_EQ(Utf8(Capture::Log()[0].text), "\rXML Parsing Error: " + expected + "\r\n");
        }
    }
}

TEST(ErrorReport, EveryWidthAndSourceNamesItsContext) {
    const std::string text = "<a>\n<b>\r\n</a>", utf8 = "\xEF\xBB\xBF" + text;
    const std::string utf16 = "\xFF\xFE" + parsertest::Utf16Bytes(text);
    const std::u16string wide = u"\uFEFF" + U16(text);
    tqtest::TempDir dir;
    struct Case {
        std::function<bool(CXMLDoc&)> fails;
        std::string context;
    };
    // Files are read again for the dump.
    const auto file = [&](const char* name, const std::string& bytes) -> Case {
        const std::string path = dir.Write(name, bytes);
        return {[path](CXMLDoc& d) {
                    return d.OpenDocFile(U16(path).c_str(), 0, CXML_REPORT_MESSAGEBOX) == 13;
                },
                path};
    };
    const auto generic = [](const std::string& bytes, const char* context) -> Case {
        return {[bytes](CXMLDoc& d) {
                    return !d.OpenDocText(static_cast<const void*>(bytes.c_str()),
                                          CXML_REPORT_MESSAGEBOX);
                },
                context};
    };
    const Case cases[] = {
        {[&](CXMLDoc& d) { return !d.OpenDocText(wide.c_str(), CXML_REPORT_MESSAGEBOX); },
         "(UNICODE text)"},
        {[&](CXMLDoc& d) {
             return !d.OpenDocText(reinterpret_cast<const unsigned char*>(utf8.c_str()),
                                   CXML_REPORT_MESSAGEBOX);
         },
         "(UTF8 text)"},
        generic(text, "(generic pvoid, ANSI)"),
        generic(utf8, "(generic pvoid, UTF8)"),
        generic(utf16 + std::string(2, '\0'), "(generic pvoid, UNICODE)"),
        file("ansi.xml", text),
        file("utf8.xml", utf8),
        file("utf16.xml", utf16),
    };
    for (const Case& c : cases) {
        Capture capture(false);
        CXMLDoc doc;
        EXPECT_TRUE(c.fails(doc)) << c.context;
        ASSERT_EQ(Capture::Boxes().size(), 1u) << c.context;
        EXPECT_EQ(
            Utf8(Capture::Boxes()[0].text),
            Head(13, "Bad termination tag", c.context.c_str()) + "Line: 2\r\n</a>\r\n^----\r\n");
    }
}

}  // namespace
}  // namespace tqcore
