#pragma once
// CXMLDoc: reads XML text (UTF-16, UTF-8 or the ANSI code page) from memory,
// a file or an open handle into a tree of nodes under the root "<Main>".
#include <cstdint>

#include "tqxml/export.h"
#include "tqxml/xmlnode.h"

namespace tqcore {

// Tag kinds: what Tag_FindEnd found at a position.
constexpr unsigned int CXML_TAG_NONE = 0;
constexpr unsigned int CXML_TAG_START = 1;
constexpr unsigned int CXML_TAG_END = 2;
constexpr unsigned int CXML_TAG_COMMENT = 3;
constexpr unsigned int CXML_TAG_PROCESS = 4;
constexpr unsigned int CXML_TAG_DECLARATION = 5;
constexpr unsigned int CXML_TAG_EMPTY = 6;
constexpr unsigned int CXML_TAG_DATA = 7;
constexpr unsigned int CXML_TAG_CDATA = 8;

// Parse error codes, indexing CXML_ERROR_TEXTS.
constexpr unsigned int CXML_ERROR_COUNT = 16;
TQXML_API extern const unsigned short* const CXML_ERROR_TEXTS[CXML_ERROR_COUNT];

// How an open call shows a parse error.
constexpr unsigned int CXML_REPORT_MESSAGEBOX = 0;
constexpr unsigned int CXML_REPORT_LOG = 1;     // only when debug output is on
constexpr unsigned int CXML_REPORT_SILENT = 2;  // and any other value

class TQXML_API CXMLDoc {
  public:
    CXMLDoc() noexcept;
    CXMLDoc(const CXMLDoc& o) noexcept;
    CXMLDoc& operator=(const CXMLDoc& o) noexcept;
    ~CXMLDoc();

    // Drops the buffer (if any) and the tree.
    void Close() noexcept;
    // The root "<Main>" of the last successful parse; empty otherwise.
    CXMLObject& GetContent() noexcept { return m_Content; }
    // The first top-level element, or an empty handle.
    CXMLObject GetContentElement() const noexcept;

    // Memory entry points: true when the text parsed.
    // Any width: a byte-order mark picks UTF-16 or UTF-8, else ANSI. An
    // unreadable pointer gives false.
    bool OpenDocText(const void* text, unsigned int report);
    bool OpenDocText(const unsigned short* text, unsigned int report);
    bool OpenDocText(const char16_t* text, unsigned int report) {
        return OpenDocText(reinterpret_cast<const unsigned short*>(text), report);
    }
    // ANSI, or UTF-8 when it starts with a UTF-8 byte-order mark.
    bool OpenDocText(const char* text, unsigned int report);
    bool OpenDocText(const unsigned char* text, unsigned int report);

    // File entry points: 0, or a Windows error code (13: too short, unreadable
    // or does not parse; 32: still locked when `timeout` ms had passed).
    unsigned int OpenDocFile(const unsigned short* path, std::uint32_t timeout,
                             unsigned int report);
    unsigned int OpenDocFile(const char16_t* path, std::uint32_t timeout, unsigned int report) {
        return OpenDocFile(reinterpret_cast<const unsigned short*>(path), timeout, report);
    }
    // Reads the handle from its start; the handle stays open.
    unsigned int OpenDocHandle(void* handle, unsigned int report);

    // Writes the tree as indented XML to the log after a heading line, when
    // debug output is on.
    void Dump();

  private:
    friend struct CXMLDocTestAccess;
    template <class T>
    class BlockParser;  // src/parser/block_parser.h

    // Parse error codes, named for what went wrong; the values index
    // CXML_ERROR_TEXTS.
    enum class ParseError : std::uint32_t {
        Undefined,
        EndOfFile,
        OpenComment,
        OpenString,
        OpenEnclosure,
        InvalidTag,
        BadAttribute,
        BadEscape,
        ExternalReplacement,
        OpenCDataSection,
        BadDataTerminator,
        NestingError,
        VersionNot10,
        BadTerminationTag,
        MixedContent,
        IllegalCharacter,
    };
    static_assert(static_cast<unsigned int>(ParseError::IllegalCharacter) + 1 == CXML_ERROR_COUNT,
                  "one text per code");

    // Where the text of a failed parse can be read again for its report.
    static constexpr unsigned int kSourceHandle = 0;
    static constexpr unsigned int kSourceMemory = 1;

    // What a parse of the buffer came to.
    enum class ParseResult { NotMarkup, Failed, Parsed };

    void discard() noexcept;
    void releaseBuffer() noexcept;
    bool allocBuffer() noexcept;
    template <class T>
    bool openText(const T* text, const unsigned short* context, unsigned int report);
    unsigned int OpenHandle(const unsigned short* context, void* handle, unsigned int report);
    template <class T>
    bool OpenMem(const unsigned short* context, const void* source, unsigned int kind,
                 unsigned int report);
    bool openByWidth(const unsigned short* context, const void* source, unsigned int kind,
                     unsigned int report);
    // `source`: the caller's text that the buffer is a copy of, when it
    // stays readable and unchanged for the whole parse; null otherwise.
    template <class T>
    ParseResult parseBuffer(const void* source = nullptr);

    // Bytes of text buffers kept for later opens, over all threads.
    static std::uint64_t keptBufferBytes() noexcept;

    bool ParsingError(const unsigned short* context, const void* source, unsigned int kind,
                      unsigned int report, unsigned int unit);
    void GetErrorDump(unsigned short* out, unsigned short* pos);
    void GetErrorDump(unsigned short* out, char* pos);
    void GetErrorDump(unsigned short* out, unsigned char* pos);

    void* m_pBuffer;
    std::uint32_t m_uTextStart;
    std::uint32_t m_uTextSize;
    void* m_pErrorPos;
    std::uint32_t m_uErrorCode;
    CXMLObject m_Content;
};

}  // namespace tqcore
