// Parse error reports: head, line, the excerpt and its cuts, the caret line,
// the report modes, and the text restored from each kind of source.
#include <gtest/gtest.h>

#include "parser_test_support.h"
#include "support/capture.h"

namespace tqcore::parsertest {
namespace {

using tqtest::Capture;

// The report shown in a message box for `bytes` opened through `entry`, or ""
// when none is.
std::string BoxReport(Entry entry, const std::string& bytes) {
    Capture capture(false);
    CXMLDoc doc;
    EXPECT_NE(Open(doc, entry, bytes, CXML_REPORT_MESSAGEBOX), "") << bytes;
    EXPECT_FALSE(doc.GetContent()) << bytes;
    const auto& boxes = Capture::Boxes();
    if (boxes.empty()) return "";
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"XML Parsing Error");
    EXPECT_EQ(boxes[0].selector1, 0u);  // MB_OK
    return Utf8(boxes[0].text);
}

std::string Head(unsigned int code, const char* name, const std::string& context = "(ANSI text)") {
    return "Context: " + context + "\r\nError: " + std::to_string(code) + " [" + name + "]\r\n";
}

// Every source names itself; files are read again for the dump.
TEST(ErrorReport, DumpsTheLineWithACaret) {
    const std::string longLine = "<a>" + std::string(70, 'x') + "<b/>";  // the error follows, 77 in
    const std::string tail(30, 'z'), text = "<a>\n<b>\r\n</a>", utf8 = "\xEF\xBB\xBF" + text;
    const std::string utf16 = "\xFF\xFE" + Utf16Bytes(text), file = EntryDir().Path("entry.xml");
    auto lineTwo = [](const std::string& context) {
        return Head(13, "Bad termination tag", context) + "Line: 2\r\n</a>\r\n^----\r\n";
    };
    const struct {
        Entry entry;
        std::string bytes, report;
    } cases[] = {
        {Entry::Ansi, "<a>\r\n\r\n  <b></c></a>",
         Head(13, "Bad termination tag") + "Line: 2\r\n  <b></c></a>\r\n  <b>^----\r\n"},
        {Entry::Ansi, "<a b='1' b='2'/>",
         Head(6, "Bad attribute") + "Line: 0\r\n<a b='1' b='2'/>\r\n<a b='1' b^----\r\n"},
        // More than 64 units before the error: "..." and the last 61 of them.
        {Entry::Ansi, "<r>\r\n" + longLine + "y</a></r>",
         Head(14, "Excessively mixed content") + "Line: 1\r\n..." + longLine.substr(16) +
             "y</a></r>\r\n..." + longLine.substr(16) + "^----\r\n"},
        // More than 16 units after it: 13 of them and "...".
        {Entry::Ansi, "<a>x<b/>y" + tail + "</a>",
         Head(14, "Excessively mixed content") + "Line: 0\r\n<a>x<b/>y" + tail.substr(0, 12) +
             "...\r\n<a>x<b/>^----\r\n"},
        // An error at the end of the text has no line to show.
        {Entry::Ansi, "<a>", "Context: (ANSI text)\r\nError: 1 [End of file]\r\nOffset: 3"},
        // No record: nothing to report.
        {Entry::Ansi, "</a>", ""},
        {Entry::Wide, utf16, lineTwo("(UNICODE text)")},
        {Entry::Utf8, utf8, lineTwo("(UTF8 text)")},
        {Entry::Generic, text, lineTwo("(generic pvoid, ANSI)")},
        {Entry::File, utf8, lineTwo(file)},
        {Entry::File, utf16, lineTwo(file)},
    };
    for (const auto& c : cases) EXPECT_EQ(BoxReport(c.entry, c.bytes), c.report) << c.bytes;
}

TEST(ErrorReport, ModesChooseWhereTheReportGoes) {
    const std::string box = "box " + Head(13, "Bad termination tag") +
                            "Line: 0\r\n<a></b>\r\n<a>^----\r\n",
                      log = "log 15 \rXML Parsing Error: " + box.substr(4) + "\r\n";
    const struct {
        unsigned int mode;
        bool debugOn;
        std::string shown;
    } cases[] = {{0, false, box}, {0, true, box}, {1, true, log},
                 {1, false, ""},  {2, true, ""},  {7, true, ""}};
    for (const auto& c : cases) {
        Capture capture(c.debugOn);
        CXMLDoc doc;
        EXPECT_FALSE(doc.OpenDocText("<a></b>", c.mode)) << c.mode;
        std::string shown;
        for (const Capture::Shown& b : Capture::Boxes()) shown += "box " + Utf8(b.text);
        for (const Capture::Shown& line : Capture::Log())
            shown += "log " + std::to_string(line.selector1 * 100 + line.selector2) + " " +
                     Utf8(line.text);
        EXPECT_EQ(shown, c.shown) << c.mode << " " << c.debugOn;
    }
}

}  // namespace
}  // namespace tqcore::parsertest
