#pragma once
// Parser test helpers: text in every width, trees as one line, direct parses
// that expose the error record, and the open entry points behind one call.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/xmlobj_access.h"
#include "tqplatform/codepage.h"
#include "tqxml/xmldoc.h"
#include "tqxml/xmlobj.h"

namespace tqcore {

// Text for the scanners lies in zeroed, aligned, whole 64-byte chunks, as the
// loader's page buffer does: they read aligned pieces of them whole.
struct alignas(64) Chunk {
    unsigned char bytes[64];
};

// Reaches the document's error record: parses `text` in a caller-owned buffer
// with the scanner of its unit type.
struct CXMLDocTestAccess {
    using ParseError = CXMLDoc::ParseError;
    struct Outcome {
        bool parsed;            // else failed (or not markup)
        ParseError code;        // the error record
        std::ptrdiff_t offset;  // in units from the buffer start; -1 when none
    };

    template <class T>
    static Outcome Parse(CXMLDoc& doc, const std::vector<T>& text) {
        // Zeros after the text (byte scanners need one, UTF-16 one unit) and before it.
        std::vector<Chunk> buffer((text.size() + 2) * sizeof(T) / sizeof(Chunk) + 2);
        T* units = reinterpret_cast<T*>(buffer.data() + 1);
        std::copy(text.begin(), text.end(), units);
        doc.discard();
        doc.m_pBuffer = units;
        doc.m_uTextSize = static_cast<std::uint32_t>(text.size() * sizeof(T));
        const bool parsed = doc.parseBuffer<T>() == CXMLDoc::ParseResult::Parsed;
        if (!parsed) doc.m_Content.Free();
        const Outcome out{parsed, static_cast<ParseError>(doc.m_uErrorCode),
                          doc.m_pErrorPos ? static_cast<T*>(doc.m_pErrorPos) - units : -1};
        doc.m_pBuffer = nullptr;
        return out;
    }
    static std::uint64_t KeptBufferBytes() { return CXMLDoc::keptBufferBytes(); }
};

namespace parsertest {

using ParseError = CXMLDocTestAccess::ParseError;

inline std::vector<unsigned short> Wide(const std::u16string& s) {
    return {s.begin(), s.end()};
}
inline std::vector<char> Ansi(const std::string& s) {
    return {s.begin(), s.end()};
}
inline std::vector<unsigned char> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}
// Widens ASCII text.
inline std::u16string U16(const std::string& s) {
    return {s.begin(), s.end()};
}

inline std::string Utf8(const std::u16string& text) {
    std::string out(text.size() * 3, '\0');
    const int n = tqplat::WideCharToMultiByte(
        tqplat::CP_UTF8, 0, reinterpret_cast<const unsigned short*>(text.data()),
        static_cast<int>(text.size()), out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}
inline std::string Utf8(const unsigned short* text) {
    return text ? Utf8(std::u16string(reinterpret_cast<const char16_t*>(text))) : "(null)";
}
// A pooled string by its length, with any zero inside it.
inline std::string Utf8(const CPPoolString& text) {
    return text.isnull() ? "(null)" : Utf8(std::u16string(text.c16(), text.len()));
}

// UTF-16 bytes, little-endian, of ASCII text.
inline std::string Utf16Bytes(const std::string& ascii) {
    std::string out;
    for (char c : ascii) out += {c, '\0'};
    return out;
}

// name[attr='v' ...]{data}(child child): one line per tree, in UTF-8.
inline std::string Tree(const CXMLObject& node) {
    if (!node) return "-";
    std::string out = Utf8(node.GetName());
    unsigned int count = 0;
    if (const CXMLAttribute* attribs = node.GetAttributes(count); attribs && count) {
        out += '[';
        for (unsigned int i = 0; i < count; ++i)
            out += (i ? " " : "") + Utf8(attribs[i].GetName()) + "='" +
                   Utf8(attribs[i].GetValue()) + "'";
        out += ']';
    }
    if (const CPPoolString data = CXMLObjectTestAccess::Data(node); !data.isnull())
        out += "{" + Utf8(data) + "}";
    if (const CXMLObject* children = CXMLObjectTestAccess::Children(node, count);
        children && count) {
        out += '(';
        for (unsigned int i = 0; i < count; ++i) out += (i ? " " : "") + Tree(children[i]);
        out += ')';
    }
    return out;
}

// A failed parse as the helpers below describe it.
inline std::string Failed(ParseError code, std::ptrdiff_t offset) {
    return "code " + std::to_string(static_cast<unsigned int>(code)) + " at " +
           std::to_string(offset);
}

// The tree `text` parses into, or the failure's record.
template <class T>
std::string Outcome(const std::vector<T>& text) {
    CXMLDoc doc;
    const CXMLDocTestAccess::Outcome out = CXMLDocTestAccess::Parse(doc, text);
    return out.parsed ? Tree(doc.GetContent()) : Failed(out.code, out.offset);
}

// The outcome of ASCII `text` through all three scanners; when they differ,
// each width's.
inline std::string InEveryWidth(const std::string& text) {
    const std::string ansi = Outcome(Ansi(text)), utf8 = Outcome(Bytes(text)),
                      utf16 = Outcome(Wide(U16(text)));
    if (ansi == utf8 && utf8 == utf16) return ansi;
    return "ANSI: " + ansi + ", UTF-8: " + utf8 + ", UTF-16: " + utf16;
}

// The open entry points; File writes the bytes to a file of its own first.
enum class Entry { Generic, Ansi, Utf8, Wide, File };

inline const tqtest::TempDir& EntryDir() {
    static const tqtest::TempDir dir;
    return dir;
}

// Opens `bytes` through `entry`: "" when they open, else the file entry's
// result code or "failed".
inline std::string Open(CXMLDoc& doc, Entry entry, const std::string& bytes,
                        unsigned int report = CXML_REPORT_SILENT) {
    if (entry == Entry::File) {
        const std::string path = EntryDir().Write("entry.xml", bytes);
        const unsigned int code = doc.OpenDocFile(U16(path).c_str(), 0, report);
        return code ? "error " + std::to_string(code) : "";
    }
    const std::string padded = bytes + std::string(2, '\0');
    std::u16string wide(bytes.size() / 2 + 1, u'\0');
    std::memcpy(wide.data(), bytes.data(), bytes.size() & ~std::size_t{1});
    const auto* utf8 = reinterpret_cast<const unsigned char*>(bytes.c_str());
    const bool opened = entry == Entry::Generic
                            ? doc.OpenDocText(static_cast<const void*>(padded.data()), report)
                        : entry == Entry::Ansi ? doc.OpenDocText(bytes.c_str(), report)
                        : entry == Entry::Utf8 ? doc.OpenDocText(utf8, report)
                                               : doc.OpenDocText(wide.c_str(), report);
    return opened ? "" : "failed";
}

// The tree `bytes` open into through `entry`, or why they do not (and a
// tree that a failure left behind).
inline std::string Opened(Entry entry, const std::string& bytes) {
    CXMLDoc doc;
    const std::string failure = Open(doc, entry, bytes), tree = Tree(doc.GetContent());
    return failure.empty() ? tree : tree == "-" ? failure : failure + ", yet " + tree;
}

}  // namespace parsertest
}  // namespace tqcore
