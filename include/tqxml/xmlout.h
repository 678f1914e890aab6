#pragma once
// Output sinks: the serialiser writes one node tree through a sink as UTF-16
// XML text into a file, a caller's file handle or a growing memory block.
//
// Sinks are not copyable: a copy would hold the same indentation buffer,
// handle or memory block and free or close it a second time.
// A sink accepts several trees in a row while it is open; they follow one
// another in the output.
#include <cstdint>

#include "tqxml/export.h"

namespace tqcore {

class CXMLObject;
namespace detail {
class OutStage;
}

// The base sink. Used by itself it stores nothing: with debug output on, it
// echoes every piece of text to the log (selectors 3 and 4).
class TQXML_API CXMLOut {
  public:
    static const unsigned int kIndentChars = 512;

    explicit CXMLOut(bool format = true);
    virtual ~CXMLOut();
    CXMLOut(const CXMLOut&) = delete;
    CXMLOut& operator=(const CXMLOut&) = delete;

    // Writes one tree; on failure the output is discarded and the sink closed.
    bool Write(const CXMLObject& tree);
    // False when the sink is not open.
    bool Close(bool discard);
    // No effect on an unformatted sink; levels above 512 print 512 spaces.
    void Indent() noexcept;
    void Unindent() noexcept;
    // True when an open, write, flush or close of the physical output failed
    // since the last successful open, also where the result itself ignores
    // it (the text primitives, the flush of Close(false)): the output may
    // then lack text that the sink was given. A failed open sets it too.
    bool WriteFailed() const noexcept { return m_fWriteFailed; }

  protected:
    friend class CXMLDoc;  // its dump writes through a plain sink

    // Opens the physical target and writes the start of the document.
    bool Open(void* target, bool declaration);
    // Every "%ls" of `format` takes the next UTF-16 string argument (null
    // counts as empty); no other placeholder exists.
    bool Write(const unsigned short* format, ...);
    // The characters in [from, to).
    bool WriteTo(const unsigned short* from, const unsigned short* to);
    // Ends the line; false only when a formatted sink could not write it.
    bool eol();

    virtual bool OpenPhys(void* target);
    virtual bool ClosePhys(bool discard);
    // `count` in characters.
    virtual bool WritePhys(const unsigned short* text, std::uint64_t count);
    virtual bool FlushPhys();
    // Bytes of output so far.
    virtual std::uint64_t GetSizeWritten();

    bool isOpened() const noexcept { return m_fOpened != 0; }
    // Closes after the owner's destructor found the sink still open.
    void closeOnDestruction(bool report);

  private:
    friend class detail::OutStage;  // the serialiser's only way to the text primitives

    // Writes the byte-order mark and, if asked, the declaration; true when
    // at least one of them was taken.
    bool writeDocumentStart(bool declaration);
    // The physical operations with their failures recorded.
    bool openOutput(void* target);
    bool writeOutput(const unsigned short* text, std::uint64_t count);
    bool flushOutput();
    bool closeOutput(bool discard);
    bool noteResult(bool ok) noexcept {
        if (!ok) m_fWriteFailed = true;
        return ok;
    }

    // The indentation due at the start of a line, on a formatted sink.
    void beginPiece() {
        if (m_fLineStart) writeIndent();
    }
    void writeIndent();

    unsigned short* m_pIndentBuf;
    bool m_fLineStart;
    bool m_fFormat;
    std::uint32_t m_uIndent : 30;
    std::uint32_t m_fOpened : 1;
    std::uint32_t m_fWritten : 1;
    bool m_fWriteFailed;
};

// Writes into a file named by a path, which it creates and owns.
class TQXML_API CXMLFileOut : public CXMLOut {
  public:
    static constexpr unsigned int kPathChars = 260;

    explicit CXMLFileOut(bool format = true);
    ~CXMLFileOut() override;

    // Missing directories are created; a file locked by another writer is
    // tried again every 10 ms until `timeout` milliseconds have passed.
    bool Open(const unsigned short* path, std::uint32_t timeout);
    bool Open(const char16_t* path, std::uint32_t timeout) {
        return Open(reinterpret_cast<const unsigned short*>(path), timeout);
    }

  protected:
    bool OpenPhys(void* target) override;
    bool ClosePhys(bool discard) override;
    bool WritePhys(const unsigned short* text, std::uint64_t count) override;
    bool FlushPhys() override;
    std::uint64_t GetSizeWritten() override;

  private:
    void* m_hFile;
    unsigned short m_szPath[kPathChars];
    unsigned char* m_pBuf;
    std::uint64_t m_sBuffered;
};

// Writes into a file handle that stays the caller's: it is never closed, and
// a discarded output leaves the file empty.
class TQXML_API CXMLHandleOut : public CXMLOut {
  public:
    explicit CXMLHandleOut(bool format = true);
    ~CXMLHandleOut() override;

    bool Open(void* handle);

  protected:
    bool OpenPhys(void* target) override;
    bool ClosePhys(bool discard) override;
    bool WritePhys(const unsigned short* text, std::uint64_t count) override;
    bool FlushPhys() override;
    std::uint64_t GetSizeWritten() override;

  private:
    void* m_hFile;
    unsigned char* m_pBuf;
    std::uint64_t m_sBuffered;
};

// Writes unformatted text (no declaration, indentation or line ends) into
// memory. After Close the block holds the byte-order mark, the text and NUL.
class TQXML_API CXMLMemOut : public CXMLOut {
  public:
    CXMLMemOut();
    ~CXMLMemOut() override;

    bool Open();
    // The text after the byte-order mark; null while open or without a block.
    operator const unsigned short*() const noexcept;
    // The whole block, mark included; null while open or without a block.
    operator const void*() const noexcept;
    void Free() noexcept;
    // Text characters, without the mark and the NUL.
    std::uint64_t GetLen() const;
    // Bytes, with the mark and the NUL.
    std::uint64_t GetSize() const;

  protected:
    bool OpenPhys(void* target) override;
    bool ClosePhys(bool discard) override;
    bool WritePhys(const unsigned short* text, std::uint64_t count) override;
    std::uint64_t GetSizeWritten() override;

  private:
    bool hasClosedText() const noexcept { return m_pMem && !isOpened(); }
    // The reports and checks shared by GetLen and GetSize.
    bool hasReadableText() const;

    unsigned short* m_pMem;
    std::uint64_t m_sSize;
    std::uint64_t m_sAllocSize;
};

}  // namespace tqcore
