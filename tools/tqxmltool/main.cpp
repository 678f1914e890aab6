// tqxmltool: parses XML documents, reports on them and writes them indented.
#include <errno.h>
#include <tqxml/tqxml.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "input.h"
#include "load.h"
#include "output.h"
#include "sample_path.h"
#include "serialize.h"
#include "standard_streams.h"
#include "text.h"
#include "tree_stats.h"

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
    "Reads XML in any encoding the system knows. The byte-order mark decides\n"
    "(UTF-8, UTF-16 or UTF-32 in either byte order), else the encoding the XML\n"
    "declaration names, else UTF-8 when the bytes are valid UTF-8, else ANSI\n"
    "(Windows-1252). IN may be a file, a pipe or FIFO, a device, or - for\n"
    "standard input; inputs of 4 GiB or more are refused.\n"
    "\n"
    "  (no command)        parse the bundled sample, print its figures and write it\n"
    "                      indented to standard output\n"
    "  format IN [OUT]     write IN as indented XML: to OUT as UTF-16 with byte-order\n"
    "                      mark and declaration, or without OUT as UTF-8 on standard\n"
    "                      output (no mark, no declaration). OUT is replaced only\n"
    "                      once the whole output is safely written; OUT may be IN\n"
    "  stats IN            print the figures of IN: encoding, elements, attributes,\n"
    "                      data nodes, depth, distinct strings, memory used and\n"
    "                      spare, parse time\n"
    "  check IN            parse IN and say which encoding it was read in; on an\n"
    "                      error print the parser's report (context, code, text,\n"
    "                      line, excerpt and caret)\n"
    "  pack IN OUT [--utf8]  store IN as a binary image in OUT, with UTF-16 strings\n"
    "                      (or UTF-8 with --utf8)\n"
    "  unpack IN OUT       write the binary image IN as indented UTF-16 XML to OUT\n"
    "  --help              this text\n"
    "\n"
    "exit codes: 0 done; 1 the input is not well-formed XML or not in the encoding\n"
    "it claims, or not a binary image; 2 wrong arguments; 3 the input cannot be read; 4 the input "
    "stays\n"
    "locked by another program; 5 the output cannot be written\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "tqxmltool: %s\n\n%s", problem, kHelp);
    return kUsage;
}

const char* Shown(const std::string& path) {
    return path == "-" ? "standard input" : path.c_str();
}

// Prints why a load failed and gives the exit code (kOk when it did not).
int Explain(const std::string& path, const tqxmltool::LoadResult& result) {
    const char* name = Shown(path);
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
            std::fprintf(stderr, "tqxmltool: %s: cannot be read: %s\n", name,
                         result.problem.c_str());
            return kCannotRead;
        case LoadStatus::Undecodable:
            std::fprintf(stderr, "tqxmltool: %s: read as %s (%s): %s\n", name,
                         result.encoding.c_str(), result.evidence.c_str(), result.problem.c_str());
            return kNotXml;
        case LoadStatus::NotXml:
            if (result.problem.empty())
                std::fprintf(stderr, "tqxmltool: %s: too short or not XML\n", name);
            else
                std::fprintf(stderr, "tqxmltool: %s: not well-formed XML\n%s\n", name,
                             result.problem.c_str());
            return kNotXml;
    }
    return kCannotRead;
}

// Parses `path` into `doc`; on failure prints why and gives the exit code.
int LoadOrExplain(const std::string& path, tqcore::CXMLDoc& doc, tqxmltool::LoadResult& result) {
    result = tqxmltool::Load(path, doc);
    return Explain(path, result);
}

// The size of the tree's binary image with UTF-16 or UTF-8 strings; 0 when it
// cannot be made.
unsigned long long ImageBytes(const tqcore::CXMLObject& tree, bool wide) {
    tqcore::CPMemory image;
    return tqcore::CXMLObject::Store(image, tree, wide) ? image.GetSize() : 0;
}

void PrintStats(const std::string& path, const tqxmltool::LoadResult& load,
                const tqcore::CXMLObject& tree, std::size_t distinctStrings) {
    const tqxmltool::TreeStats stats = tqxmltool::Measure(tree);
    double mbPerSecond =
        load.milliseconds > 0 ? static_cast<double>(load.bytes) / 1e3 / load.milliseconds : 0;
    std::printf("document:         %s (%llu bytes)\n", Shown(path),
                static_cast<unsigned long long>(load.bytes));
    std::printf("encoding:         %s (%s)\n", load.encoding.c_str(), load.evidence.c_str());
    std::printf("elements:         %llu\n", static_cast<unsigned long long>(stats.elements));
    std::printf("attributes:       %llu\n", static_cast<unsigned long long>(stats.attributes));
    std::printf("data nodes:       %llu\n", static_cast<unsigned long long>(stats.dataNodes));
    std::printf("depth:            %llu\n", static_cast<unsigned long long>(stats.maxDepth));
    std::printf("distinct strings: %zu\n", distinctStrings);
    std::printf("memory:           %llu bytes used, %llu bytes spare\n",
                static_cast<unsigned long long>(stats.memoryUsed),
                static_cast<unsigned long long>(stats.memorySpare));
    std::printf("binary image:     %llu bytes with UTF-16 strings, %llu with UTF-8\n",
                ImageBytes(tree, true), ImageBytes(tree, false));
    std::printf("parse time:       %.3f ms (%.1f MB/s)\n", load.milliseconds, mbPerSecond);
}

// Standard output takes UTF-8 without mark and declaration; its writes are
// checked when it is closed.
tqxmltool::Serialized PrintTree(const tqcore::CXMLObject& tree) {
    tqxmltool::Serialized out = tqxmltool::Serialize(tree, false);
    if (out.ok && out.text.size() > 1) {
        // Past the byte-order mark.
        std::string utf8 = tqxmltool::Utf8(
            reinterpret_cast<const unsigned short*>(out.text.data()) + 1, out.text.size() - 1);
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    }
    return out;
}

int Stats(const std::string& path, bool writeToo) {
    tqcore::CXMLDoc doc;
    tqxmltool::LoadResult load;
    std::size_t stringsBefore = tqcore::CStringPool::GetCount();
    if (int code = LoadOrExplain(path, doc, load)) return code;
    std::size_t distinct = tqcore::CStringPool::GetCount() - stringsBefore;
    PrintStats(path, load, doc.GetContent(), distinct);
    if (!writeToo) return kOk;
    std::printf("\n");
    tqxmltool::Serialized written = PrintTree(doc.GetContent());
    if (!written.ok) {
        std::fprintf(stderr, "tqxmltool: the output cannot be made: not enough memory\n");
        return kCannotWrite;
    }
    std::printf("\nwrite time:       %.3f ms (%llu bytes of UTF-16)\n", written.milliseconds,
                static_cast<unsigned long long>(written.text.size() * 2));
    return kOk;
}

// Puts `size` bytes in place as OUT, or says why not.
int Replace(const char* out, const void* data, std::size_t size, bool made) {
    const tqxmltool::Written written = made ? tqxmltool::ReplaceFile(out, data, size)
                                            : tqxmltool::Written{false, "not enough memory"};
    if (written.ok) return kOk;
    std::fprintf(stderr, "tqxmltool: %s: cannot be written: %s; left as it was\n", out,
                 written.problem.c_str());
    return kCannotWrite;
}

// `root` holds the top-level nodes, as a parsed document's root does.
int WriteIndented(const tqcore::CXMLObject& root, const char* out) {
    if (!out) {
        if (PrintTree(root).ok) return kOk;
        std::fprintf(stderr, "tqxmltool: the output cannot be made: not enough memory\n");
        return kCannotWrite;
    }
    const tqxmltool::Serialized text = tqxmltool::Serialize(root, true);
    return Replace(out, text.text.data(), text.text.size() * 2, text.ok);
}

int Format(const std::string& in, const char* out) {
    tqcore::CXMLDoc doc;
    tqxmltool::LoadResult load;
    if (int code = LoadOrExplain(in, doc, load)) return code;
    return WriteIndented(doc.GetContent(), out);
}

// The image holds the document's root, so an unpacked image writes like the
// parsed document.
int Pack(const std::string& in, const char* out, bool utf8) {
    tqcore::CXMLDoc doc;
    tqxmltool::LoadResult load;
    if (int code = LoadOrExplain(in, doc, load)) return code;
    tqcore::CPMemory image;
    const bool made = tqcore::CXMLObject::Store(image, doc.GetContent(), !utf8);
    return Replace(out, image, made ? static_cast<std::size_t>(image.GetSize()) : 0, made);
}

int Unpack(const std::string& in, const char* out) {
    tqxmltool::Input input = tqxmltool::ReadInput(in);
    if (input.status != tqxmltool::ReadStatus::Read) {
        tqxmltool::LoadResult failed;
        failed.status = input.status == tqxmltool::ReadStatus::Missing  ? LoadStatus::Missing
                        : input.status == tqxmltool::ReadStatus::Locked ? LoadStatus::Locked
                                                                        : LoadStatus::Unreadable;
        failed.problem = input.problem;
        return Explain(in, failed);
    }
    tqcore::CPMemory image;
    tqcore::CXMLObject root;
    if (!input.bytes.empty() && image.Alloc(input.bytes.size())) {
        std::memcpy(image, input.bytes.data(), input.bytes.size());
        root = tqcore::CXMLObject::Load(image);
    }
    if (!root) {
        std::fprintf(stderr, "tqxmltool: %s: not a binary image of a tree\n", Shown(in));
        return kNotXml;
    }
    // An image of a single element gets a document root around it.
    const tqcore::CPPoolString documentName = tqcore::CStringPool::GetStringRef(u"<Main>");
    if (!root.IsName(documentName)) {
        tqcore::CXMLObject document(documentName);
        if (!document.Add(root)) return Replace(out, nullptr, 0, false);
        root = document;
    }
    return WriteIndented(root, out);
}

int Check(const std::string& in) {
    tqcore::CXMLDoc doc;
    tqxmltool::LoadResult load;
    if (int code = LoadOrExplain(in, doc, load)) return code;
    std::printf("%s: well-formed, read as %s (%s)\n", Shown(in), load.encoding.c_str(),
                load.evidence.c_str());
    return kOk;
}

int Run(int argc, char** argv) {
    if (argc == 1) return Stats(tqxmltool::SamplePath(), true);
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kHelp, stdout);
        return kOk;
    }
    if (command == "format") {
        if (argc < 3 || argc > 4) return Usage("format takes IN and an optional OUT");
        return Format(argv[2], argc == 4 ? argv[3] : nullptr);
    }
    if (command == "pack") {
        const bool utf8 = argc == 5 && std::strcmp(argv[4], "--utf8") == 0;
        if (argc != 4 && !utf8) return Usage("pack takes IN, OUT and an optional --utf8");
        return Pack(argv[2], argv[3], utf8);
    }
    if (command == "unpack") {
        if (argc != 4) return Usage("unpack takes IN and OUT");
        return Unpack(argv[2], argv[3]);
    }
    if (command == "stats" || command == "check") {
        if (argc != 3) return Usage((command + " takes one IN").c_str());
        return command == "stats" ? Stats(argv[2], false) : Check(argv[2]);
    }
    return Usage(("unknown command '" + command + "'").c_str());
}

// Everything written to standard output must have arrived.
int CloseStandardOutput(int code) {
    bool failed = std::fflush(stdout) != 0 || std::ferror(stdout);
    int error = errno;
    if (std::fclose(stdout) != 0 && !failed) {
        failed = true;
        error = errno;
    }
    if (!failed) return code;
    std::fprintf(stderr, "tqxmltool: standard output: cannot be written: %s\n",
                 std::strerror(error));
    return code == kOk ? kCannotWrite : code;
}

}  // namespace

int main(int argc, char** argv) {
    tqxmltool::PrepareStandardStreams();
    int code;
    try {
        code = Run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tqxmltool: not enough memory\n");
        code = kCannotRead;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tqxmltool: %s\n", e.what());
        code = kCannotRead;
    }
    return CloseStandardOutput(code);
}
