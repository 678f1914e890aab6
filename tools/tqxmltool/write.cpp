#include "write.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "text.h"

namespace tqxmltool {

namespace {

constexpr std::uint32_t kLockTimeoutMs = 2000;

// The document root "<Main>" holds the top-level nodes: write each of them.
bool WriteChildren(tqcore::CXMLOut& out, const tqcore::CXMLObject& tree) {
    for (unsigned int i = 0; const tqcore::CXMLObject* child = tree.item(i); ++i)
        if (!out.Write(*child)) return false;
    return true;
}

}  // namespace

WriteResult WriteFile(const tqcore::CXMLObject& tree, const std::string& path) {
    WriteResult result;
    tqcore::CHFLapse lapse(true);
    tqcore::CXMLFileOut out(true);
    std::u16string wide = Utf16(path);
    result.ok =
        out.Open(wide.c_str(), kLockTimeoutMs) && WriteChildren(out, tree) && out.Close(false);
    lapse.Stop();
    result.milliseconds = static_cast<double>(lapse);
    struct stat info {};
    if (result.ok && stat(path.c_str(), &info) == 0)
        result.bytes = static_cast<std::uint64_t>(info.st_size);
    return result;
}

WriteResult WriteStdout(const tqcore::CXMLObject& tree) {
    WriteResult result;
    std::FILE* scratch = std::tmpfile();
    if (!scratch) return result;
    tqcore::CHFLapse lapse(true);
    {
        tqcore::CXMLHandleOut out(true);
        void* handle = reinterpret_cast<void*>(static_cast<std::intptr_t>(fileno(scratch)));
        result.ok = out.Open(handle) && WriteChildren(out, tree) && out.Close(false);
    }
    lapse.Stop();
    result.milliseconds = static_cast<double>(lapse);
    if (result.ok) {
        std::vector<unsigned short> text;
        lseek(fileno(scratch), 0, SEEK_SET);
        unsigned short buffer[8192];
        ssize_t got;
        while ((got = read(fileno(scratch), buffer, sizeof buffer)) > 0)
            text.insert(text.end(), buffer, buffer + got / 2);
        result.bytes = text.size() * 2;
        // Skip the mark and the declaration line: the text below is UTF-8.
        std::size_t start = !text.empty() && text[0] == 0xFEFF ? 1 : 0;
        if (start < text.size() && text[start] == u'<' && start + 1 < text.size() &&
            text[start + 1] == u'?') {
            while (start < text.size() && text[start] != u'\n') ++start;
            ++start;
        }
        if (start < text.size()) {
            std::string utf8 = Utf8(text.data() + start, text.size() - start);
            result.ok = std::fwrite(utf8.data(), 1, utf8.size(), stdout) == utf8.size();
        }
    }
    std::fclose(scratch);
    return result;
}

}  // namespace tqxmltool
