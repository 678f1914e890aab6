// Parse error reports: the head, the line number, the excerpt with its cuts,
// the caret line, the short report, the three report modes and the text
// restored from each kind of source.
#include <gtest/gtest.h>

#include "parser_test_support.h"
#include "support/capture.h"

namespace tqcore::parsertest {
namespace {

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

// Files are read again for the dump.
TEST(ErrorReport, EveryWidthAndSourceNamesItsContext) {
    const std::string text = "<a>\n<b>\r\n</a>", utf8 = "\xEF\xBB\xBF" + text;
    const std::string utf16 = "\xFF\xFE" + Utf16Bytes(text), file = EntryDir().Path("entry.xml");
    const struct {
        Entry entry;
        std::string bytes, context;
    } cases[] = {
        {Entry::Wide, utf16, "(UNICODE text)"},
        {Entry::Utf8, utf8, "(UTF8 text)"},
        {Entry::Generic, text, "(generic pvoid, ANSI)"},
        {Entry::Generic, utf8, "(generic pvoid, UTF8)"},
        {Entry::Generic, utf16, "(generic pvoid, UNICODE)"},
        {Entry::File, text, file},
        {Entry::File, utf8, file},
        {Entry::File, utf16, file},
    };
    for (const auto& c : cases) {
        Capture capture(false);
        CXMLDoc doc;
        EXPECT_EQ(Open(doc, c.entry, c.bytes, CXML_REPORT_MESSAGEBOX),
                  c.entry == Entry::File ? "error 13" : "failed");
        ASSERT_EQ(Capture::Boxes().size(), 1u) << c.context;
        EXPECT_EQ(
            Utf8(Capture::Boxes()[0].text),
            Head(13, "Bad termination tag", c.context.c_str()) + "Line: 2\r\n</a>\r\n^----\r\n");
    }
}

}  // namespace
}  // namespace tqcore::parsertest
