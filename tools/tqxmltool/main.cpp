// tqxmltool: parses XML documents, reports on them and writes them indented.
#include <tqxml/tqxml.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "load.h"
#include "tree_stats.h"
#include "write.h"

namespace {

using tqxmltool::LoadStatus;

// Exit codes.
constexpr int kOk = 0;
constexpr int kNotXml = 1;
constexpr int kUsage = 2;
constexpr int kCannotRead = 3;
constexpr int kLocked = 4;
constexpr int kCannotWrite = 5;

const char kHelp[] =
    "usage: tqxmltool [COMMAND ARGS]\n"
    "\n"
    "Reads XML in UTF-16, UTF-8 or ANSI (Windows-1252); the byte-order mark\n"
    "decides, and text without one is read as ANSI. IN may be - for standard input.\n"
    "\n"
    "  (no command)        parse the bundled sample, print its figures and write it\n"
    "                      indented to standard output\n"
    "  format IN [OUT]     write IN as indented XML: to OUT as UTF-16 with byte-order\n"
    "                      mark and declaration, or without OUT as UTF-8 on standard\n"
    "                      output (no mark, no declaration)\n"
    "  stats IN            print the figures of IN: elements, attributes, data nodes,\n"
    "                      depth, distinct strings, memory used and spare, parse time\n"
    "  check IN            parse IN; on an error print the parser's report (context,\n"
    "                      code, text, line, excerpt and caret)\n"
    "  --help              this text\n"
    "\n"
    "exit codes: 0 done; 1 the input is not well-formed XML; 2 wrong arguments;\n"
    "3 the input cannot be read; 4 the input stays locked by another program;\n"
    "5 the output cannot be written\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "tqxmltool: %s\n\n%s", problem, kHelp);
    return kUsage;
}

// Parses `path` into `doc`; on failure prints why and gives the exit code.
int LoadOrExplain(const std::string& path, tqcore::CXMLDoc& doc, tqxmltool::LoadResult& result) {
    result = tqxmltool::Load(path, doc);
    const char* name = path == "-" ? "standard input" : path.c_str();
    switch (result.status) {
        case LoadStatus::Parsed:
            return kOk;
        case LoadStatus::Missing:
            std::fprintf(stderr, "tqxmltool: %s: no such file\n", name);
            return kCannotRead;
        case LoadStatus::Locked:
            std::fprintf(stderr, "tqxmltool: %s: locked by another program (waited 2 s)\n", name);
            return kLocked;
        case LoadStatus::Unreadable:
            std::fprintf(stderr, "tqxmltool: %s: cannot be read\n", name);
            return kCannotRead;
        case LoadStatus::NotXml:
            if (result.report.empty())
                std::fprintf(stderr, "tqxmltool: %s: too short or not XML\n", name);
            else
                std::fprintf(stderr, "tqxmltool: %s: not well-formed XML\n%s\n", name,
                             result.report.c_str());
            return kNotXml;
    }
    return kCannotRead;
}

void PrintStats(const std::string& path, const tqxmltool::LoadResult& load,
                const tqxmltool::TreeStats& stats, std::size_t distinctStrings) {
    double mbPerSecond =
        load.milliseconds > 0 ? static_cast<double>(load.bytes) / 1e3 / load.milliseconds : 0;
    std::printf("document:         %s (%llu bytes)\n",
                path == "-" ? "standard input" : path.c_str(),
                static_cast<unsigned long long>(load.bytes));
    std::printf("elements:         %llu\n", static_cast<unsigned long long>(stats.elements));
    std::printf("attributes:       %llu\n", static_cast<unsigned long long>(stats.attributes));
    std::printf("data nodes:       %llu\n", static_cast<unsigned long long>(stats.dataNodes));
    std::printf("depth:            %llu\n", static_cast<unsigned long long>(stats.maxDepth));
    std::printf("distinct strings: %zu\n", distinctStrings);
    std::printf("memory:           %llu bytes used, %llu bytes spare\n",
                static_cast<unsigned long long>(stats.memoryUsed),
                static_cast<unsigned long long>(stats.memorySpare));
    std::printf("parse time:       %.3f ms (%.1f MB/s)\n", load.milliseconds, mbPerSecond);
}

int Stats(const std::string& path, bool writeToo) {
    tqcore::CXMLDoc doc;
    tqxmltool::LoadResult load;
    std::size_t stringsBefore = tqcore::CStringPool::GetCount();
    if (int code = LoadOrExplain(path, doc, load)) return code;
    std::size_t distinct = tqcore::CStringPool::GetCount() - stringsBefore;
    PrintStats(path, load, tqxmltool::Measure(doc.GetContent()), distinct);
    if (!writeToo) return kOk;
    std::printf("\n");
    std::fflush(stdout);
    tqxmltool::WriteResult written = tqxmltool::WriteStdout(doc.GetContent());
    if (!written.ok) {
        std::fprintf(stderr, "tqxmltool: the output cannot be written\n");
        return kCannotWrite;
    }
    std::printf("\nwrite time:       %.3f ms (%llu bytes of UTF-16)\n", written.milliseconds,
                static_cast<unsigned long long>(written.bytes));
    return kOk;
}

int Format(const std::string& in, const char* out) {
    tqcore::CXMLDoc doc;
    tqxmltool::LoadResult load;
    if (int code = LoadOrExplain(in, doc, load)) return code;
    tqxmltool::WriteResult written = out ? tqxmltool::WriteFile(doc.GetContent(), out)
                                         : tqxmltool::WriteStdout(doc.GetContent());
    if (!written.ok) {
        std::fprintf(stderr, "tqxmltool: %s: cannot be written\n", out ? out : "standard output");
        return kCannotWrite;
    }
    return kOk;
}

int Check(const std::string& in) {
    tqcore::CXMLDoc doc;
    tqxmltool::LoadResult load;
    if (int code = LoadOrExplain(in, doc, load)) return code;
    std::printf("%s: well-formed\n", in == "-" ? "standard input" : in.c_str());
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) return Stats(TQXMLTOOL_SAMPLE, true);
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (command == "format") {
        if (argc < 3 || argc > 4) return Usage("format takes IN and an optional OUT");
        return Format(argv[2], argc == 4 ? argv[3] : nullptr);
    }
    if (command == "stats" || command == "check") {
        if (argc != 3) return Usage((command + " takes one IN").c_str());
        return command == "stats" ? Stats(argv[2], false) : Check(argv[2]);
    }
    return Usage(("unknown command '" + command + "'").c_str());
}
