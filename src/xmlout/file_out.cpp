// The file sink: a file named by a path, created (with its directories),
// buffered, and deleted when its output is discarded.
#include <algorithm>
#include <new>

#include "module/log_and_retry.h"
#include "module/reports.h"
#include "tqcore/fileutil.h"
#include "tqplatform/files.h"
#include "tqxml/xmlout.h"
#include "xmlout/handle_buffer.h"

namespace tqcore {

using tqplat::INVALID_HANDLE_VALUE;

namespace {

tqplat::HANDLE CreateForWriting(const unsigned short* path) {
    return tqplat::CreateFileW(path, tqplat::GENERIC_WRITE, 0, nullptr, tqplat::CREATE_ALWAYS,
                               tqplat::FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Creates the directories before the last separator of `path`.
bool CreateParentDirectories(const unsigned short* path) {
    std::uint64_t length = 0;
    while (path[length]) ++length;
    unsigned short* copy = new (std::nothrow) unsigned short[length + 1];
    if (!copy) return false;
    std::copy(path, path + length + 1, copy);
    bool created = false;
    if (unsigned short* separator = FU_FindLastSeparator(copy)) {
        *separator = 0;
        created = separator != copy && FU_CreatePath(copy);
    }
    delete[] copy;
    return created;
}

}  // namespace

CXMLFileOut::CXMLFileOut(bool format)
    : CXMLOut(format),
      m_hFile(tqplat::INVALID_HANDLE_VALUE),
      m_szPath{},
      m_pBuf(nullptr),
      m_sBuffered(0) {}

CXMLFileOut::~CXMLFileOut() {
    if (isOpened()) closeOnDestruction(true);
}

bool CXMLFileOut::Open(const unsigned short* path, std::uint32_t timeout) {
    return module::RetryWhileShared(
        timeout, [&] { return CXMLOut::Open(const_cast<unsigned short*>(path), true); });
}

bool CXMLFileOut::OpenPhys(void* target) {
    ClosePhys(true);
    const auto* path = static_cast<const unsigned short*>(target);
    if (!path || !*path) {
        tqplat::SetLastError(tqplat::ERROR_PATH_NOT_FOUND);
        return false;
    }
    m_pBuf = handlebuf::Alloc();
    tqplat::HANDLE h = CreateForWriting(path);
    if (h == tqplat::INVALID_HANDLE_VALUE) {
        const std::uint32_t error = tqplat::GetLastError();
        if (CreateParentDirectories(path))
            h = CreateForWriting(path);
        else
            tqplat::SetLastError(error);
    }
    if (h == tqplat::INVALID_HANDLE_VALUE) {
        handlebuf::Free(m_pBuf);
        return false;
    }
    m_hFile = h;
    unsigned int n = 0;
    while (n < kPathChars - 1 && path[n]) {
        m_szPath[n] = path[n];
        ++n;
    }
    m_szPath[n] = 0;
    m_sBuffered = 0;
    return true;
}

bool CXMLFileOut::ClosePhys(bool discard) {
    if (m_hFile == tqplat::INVALID_HANDLE_VALUE) return true;
    tqplat::CloseHandle(m_hFile);
    handlebuf::Free(m_pBuf);
    m_hFile = tqplat::INVALID_HANDLE_VALUE;
    m_sBuffered = 0;
    return discard ? tqplat::DeleteFileW(m_szPath) : true;
}

bool CXMLFileOut::WritePhys(const unsigned short* text, std::uint64_t count) {
    if (!TQXMLOUT_CHECK(m_hFile != INVALID_HANDLE_VALUE, "m_hFile != INVALID_HANDLE_VALUE"))
        return false;
    if (count == 0) return true;
    const std::uint64_t sccData = count * sizeof(unsigned short);
    TQXMLOUT_CHECK(sccData <= 0xFFFFFFFF, "sccData <= 0xFFFFFFFF");
    return handlebuf::Write(m_hFile, m_pBuf, m_sBuffered, text, sccData);
}

bool CXMLFileOut::FlushPhys() {
    if (m_hFile == tqplat::INVALID_HANDLE_VALUE) return false;
    return handlebuf::Flush(m_hFile, m_pBuf, m_sBuffered);
}

std::uint64_t CXMLFileOut::GetSizeWritten() {
    if (m_hFile == tqplat::INVALID_HANDLE_VALUE) return 0;
    return handlebuf::SizeWritten(m_hFile, m_sBuffered);
}

}  // namespace tqcore
