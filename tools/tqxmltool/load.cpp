#include "load.h"

#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <vector>

#include "text.h"

namespace tqxmltool {

namespace {

constexpr std::uint32_t kLockTimeoutMs = 2000;

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

}  // namespace

LoadResult Load(const std::string& path, tqcore::CXMLDoc& doc) {
    LoadResult result;
    ReportCapture capture;
    tqcore::CHFLapse lapse(false);
    if (path == "-") {
        std::vector<char> bytes((std::istreambuf_iterator<char>(std::cin)),
                                std::istreambuf_iterator<char>());
        result.bytes = bytes.size();
        bytes.insert(bytes.end(), 4, '\0');  // terminated in any width
        lapse.Start();
        bool parsed = doc.OpenDocText(static_cast<const void*>(bytes.data()), kReportInBox);
        lapse.Stop();
        result.status = parsed ? LoadStatus::Parsed : LoadStatus::NotXml;
    } else {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0) result.bytes = static_cast<std::uint64_t>(info.st_size);
        std::u16string wide = Utf16(path);
        lapse.Start();
        unsigned int code = doc.OpenDocFile(wide.c_str(), kLockTimeoutMs, kReportInBox);
        lapse.Stop();
        switch (code) {
            case 0:
                result.status = LoadStatus::Parsed;
                break;
            case 2:
            case 3:
                result.status = LoadStatus::Missing;
                break;
            case 32:
                result.status = LoadStatus::Locked;
                break;
            case 13:
                result.status = LoadStatus::NotXml;
                break;
            default:
                result.status = LoadStatus::Unreadable;
                break;
        }
    }
    result.milliseconds = static_cast<double>(lapse);
    result.report = capture.Text();
    return result;
}

}  // namespace tqxmltool
