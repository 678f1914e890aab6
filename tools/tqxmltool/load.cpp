#include "load.h"

#include "encoding.h"
#include "input.h"
#include "text.h"

namespace tqxmltool {

namespace {

// The loader shows a parse error in a message box when asked to; the tool
// takes the box's text instead of showing one.
std::u16string* g_report = nullptr;

int CaptureReport(const unsigned short* text, const unsigned short*, unsigned int) {
    if (g_report && text) *g_report = reinterpret_cast<const char16_t*>(text);
    return 1;
}

class ReportCapture {
  public:
    ReportCapture() : m_previous(tqcore::SetMessageBoxHook(&CaptureReport)) { g_report = &m_text; }
    ~ReportCapture() {
        tqcore::SetMessageBoxHook(m_previous);
        g_report = nullptr;
    }
    std::string Text() const {
        return Utf8(reinterpret_cast<const unsigned short*>(m_text.c_str()));
    }

  private:
    std::u16string m_text;
    tqcore::MessageBoxHook m_previous;
};

constexpr unsigned int kReportInBox = 0;

bool Parse(tqcore::CXMLDoc& doc, const DecodedText& decoded) {
    const unsigned char* text = decoded.text.data();
    switch (decoded.form) {
        case TextForm::Utf16:
            return doc.OpenDocText(reinterpret_cast<const unsigned short*>(text), kReportInBox);
        case TextForm::Ansi:
            return doc.OpenDocText(reinterpret_cast<const char*>(text), kReportInBox);
    }
    return false;
}

LoadStatus StatusOf(ReadStatus read) {
    switch (read) {
        case ReadStatus::Read:
            return LoadStatus::Parsed;
        case ReadStatus::Missing:
            return LoadStatus::Missing;
        case ReadStatus::Locked:
            return LoadStatus::Locked;
        case ReadStatus::Unreadable:
            break;
    }
    return LoadStatus::Unreadable;
}

}  // namespace

LoadResult Load(const std::string& path, tqcore::CXMLDoc& doc) {
    LoadResult result;
    Input input = ReadInput(path);
    result.status = StatusOf(input.status);
    result.problem = input.problem;
    if (input.status != ReadStatus::Read) return result;
    result.bytes = input.bytes.size();

    DecodedText decoded = Decode(std::move(input.bytes));
    result.encoding = decoded.encoding;
    result.evidence = decoded.evidence;
    if (!decoded.ok) {
        result.status = LoadStatus::Undecodable;
        result.problem = decoded.problem;
        return result;
    }

    ReportCapture capture;
    tqcore::CHFLapse lapse(false);
    lapse.Start();
    const bool parsed = Parse(doc, decoded);
    lapse.Stop();
    result.milliseconds = static_cast<double>(lapse);
    if (!parsed) {
        result.status = LoadStatus::NotXml;
        result.problem = capture.Text();
    }
    return result;
}

}  // namespace tqxmltool
