// Images in files: written whole after encoding, read whole before loading.
#include <algorithm>

#include "module/log_and_retry.h"
#include "tqcore/fileutil.h"
#include "tqcore/timing.h"
#include "tqplatform/files.h"
#include "tqxml/xmlimage.h"

namespace tqcore {
namespace {

// Longest path whose directories the writer creates, terminator included.
constexpr unsigned int kPathUnits = 260;
// Bytes handed to one WriteFile or ReadFile call.
constexpr std::uint64_t kChunkBytes = 1u << 30;

tqplat::HANDLE CreateForWriting(const unsigned short* path) {
    return tqplat::CreateFileW(path, tqplat::GENERIC_WRITE, 0, nullptr, tqplat::CREATE_ALWAYS,
                               tqplat::FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Creates the directories before the last separator of `path`; a path that
// does not fit the buffer is refused.
bool CreateDirectoriesOf(const unsigned short* path) {
    unsigned short copy[kPathUnits];
    unsigned int n = 0;
    while (path[n]) {
        if (n + 1 == kPathUnits) return false;
        copy[n] = path[n];
        ++n;
    }
    copy[n] = 0;
    unsigned short* separator = FU_FindLastSeparator(copy);
    if (!separator || separator == copy) return false;
    *separator = 0;
    return FU_CreatePath(copy);
}

// Moves all `size` bytes through `transfer` (WriteFile or ReadFile) in chunks
// that its 32-bit count can carry.
template <class Transfer>
bool TransferAll(unsigned char* bytes, std::uint64_t size, Transfer transfer) {
    for (std::uint64_t done = 0; done < size;) {
        const auto chunk = static_cast<std::uint32_t>(std::min(size - done, kChunkBytes));
        std::uint32_t moved = 0;
        if (!transfer(bytes + done, chunk, &moved) || moved != chunk) return false;
        done += chunk;
    }
    return true;
}

}  // namespace

bool CXMLObject::Store(const unsigned short* path, std::uint32_t timeout, const CXMLObject& tree,
                       bool wide) {
    if (!path || !*path) return false;
    CHFLapse timer(true);
    CPMemory image;
    if (!Store(image, tree, wide)) return false;
    timer.Stop();
    module::LogTiming(u"CXMLObject::Store: Encoding", static_cast<double>(timer), image.GetSize());

    tqplat::HANDLE file = tqplat::INVALID_HANDLE_VALUE;
    bool directoriesMade = false;  // once: a path still missing after that ends the tries
    const bool opened = module::RetryWhileShared(timeout, [&] {
        file = CreateForWriting(path);
        if (file == tqplat::INVALID_HANDLE_VALUE &&
            tqplat::GetLastError() == tqplat::ERROR_PATH_NOT_FOUND && !directoriesMade) {
            directoriesMade = true;
            if (CreateDirectoriesOf(path)) file = CreateForWriting(path);
        }
        return file != tqplat::INVALID_HANDLE_VALUE;
    });
    if (!opened) return false;
    const bool written =
        TransferAll(static_cast<unsigned char*>(static_cast<void*>(image)), image.GetSize(),
                    [file](unsigned char* at, std::uint32_t n, std::uint32_t* moved) {
                        return tqplat::WriteFile(file, at, n, moved, nullptr);
                    });
    tqplat::CloseHandle(file);
    if (!written) tqplat::DeleteFileW(path);
    return written;
}

CXMLObject CXMLObject::Load(const unsigned short* path, std::uint32_t timeout) {
    if (!path) return CXMLObject();
    tqplat::HANDLE file = tqplat::INVALID_HANDLE_VALUE;
    if (!module::RetryWhileShared(timeout, [&] {
            file = tqplat::CreateFileW(path, tqplat::GENERIC_READ, tqplat::FILE_SHARE_READ, nullptr,
                                       tqplat::OPEN_EXISTING, tqplat::FILE_FLAG_SEQUENTIAL_SCAN,
                                       nullptr);
            return file != tqplat::INVALID_HANDLE_VALUE;
        }))
        return CXMLObject();
    // The low 32 bits of the size, as the format has no larger images.
    const std::uint32_t size = tqplat::GetFileSize(file, nullptr);
    CPMemory mem;
    CXMLObject tree;
    if (size != 0 && size != tqplat::INVALID_FILE_SIZE && mem.Alloc(size) &&
        TransferAll(static_cast<unsigned char*>(static_cast<void*>(mem)), size,
                    [file](unsigned char* at, std::uint32_t n, std::uint32_t* moved) {
                        return tqplat::ReadFile(file, at, n, moved, nullptr);
                    }))
        tree = Load(mem);
    mem.Free();
    tqplat::CloseHandle(file);
    return tree;
}

}  // namespace tqcore
