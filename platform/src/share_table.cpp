// Handles of this process are checked against a table. Other processes see
// our handles through open-file-description locks on four reserved bytes far
// beyond any real data: "holds read", "holds write", "denies read" and
// "denies write". Every handle takes shared locks on the marks that describe
// it, and an open conflicts with whoever holds the opposite marks. The marks
// are taken before they are tested, so two racing opens can both fail but
// never both succeed; callers retry sharing violations anyway.
#include "share_table.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "tqplatform/files.h"

namespace tqplat {

namespace {

constexpr std::uint32_t kDataAccess = GENERIC_READ | GENERIC_WRITE;
constexpr off_t kFirstMark = 0x7FFFFFFFFFFFFF00LL;

enum Mark { kHoldsRead, kHoldsWrite, kDeniesRead, kDeniesWrite, kMarkCount };

struct Opening {
    dev_t device;
    ino_t inode;
    std::uint32_t access;
    std::uint32_t share;
};

struct Table {
    std::mutex lock;
    std::unordered_map<int, Opening> openings;
};

// Never destroyed: handles may be closed by static destructors of any module.
Table& Openings() {
    static Table* const table = new Table;
    return *table;
}

bool Denies(std::uint32_t access, std::uint32_t share) {
    return ((access & GENERIC_READ) != 0 && (share & FILE_SHARE_READ) == 0) ||
           ((access & GENERIC_WRITE) != 0 && (share & FILE_SHARE_WRITE) == 0);
}

bool Conflicts(const Opening& a, const Opening& b) {
    // Opens without data access neither block nor are blocked.
    if ((a.access & kDataAccess) == 0 || (b.access & kDataAccess) == 0) return false;
    return Denies(a.access, b.share) || Denies(b.access, a.share);
}

// The marks describing an opening; `opposite` gives the ones that conflict with it.
bool Describes(Mark mark, std::uint32_t access, std::uint32_t share, bool opposite) {
    if (opposite) mark = static_cast<Mark>((mark + 2) % kMarkCount);
    switch (mark) {
        case kHoldsRead:
            return (access & GENERIC_READ) != 0;
        case kHoldsWrite:
            return (access & GENERIC_WRITE) != 0;
        case kDeniesRead:
            return (share & FILE_SHARE_READ) == 0;
        default:
            return (share & FILE_SHARE_WRITE) == 0;
    }
}

struct flock MarkRange(Mark mark, short type) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = kFirstMark + mark;
    range.l_len = 1;
    return range;
}

bool TakeMark(int fd, Mark mark) {
    struct flock range = MarkRange(mark, F_RDLCK);
    return fcntl(fd, F_OFD_SETLK, &range) == 0;
}

bool MarkHeldElsewhere(int fd, Mark mark) {
    struct flock probe = MarkRange(mark, F_WRLCK);
    return fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

void DropMarks(int fd) {
    struct flock all = MarkRange(kHoldsRead, F_UNLCK);
    all.l_len = kMarkCount;
    fcntl(fd, F_OFD_SETLK, &all);
}

// Marks need a readable descriptor and a file system with such locks; where
// either is missing, only handles of this process are checked.
bool OtherProcessesConflict(int fd, std::uint32_t access, std::uint32_t share) {
    if ((access & kDataAccess) == 0) return false;
    for (int m = 0; m < kMarkCount; ++m) {
        if (Describes(static_cast<Mark>(m), access, share, false) &&
            !TakeMark(fd, static_cast<Mark>(m))) {
            DropMarks(fd);
            return false;
        }
    }
    for (int m = 0; m < kMarkCount; ++m) {
        if (Describes(static_cast<Mark>(m), access, share, true) &&
            MarkHeldElsewhere(fd, static_cast<Mark>(m)))
            return true;
    }
    return false;
}

}  // namespace

std::uint32_t AdmitShare(int fd, std::uint32_t access, std::uint32_t share) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return ErrorFromErrno(errno);
    const Opening opening{info.st_dev, info.st_ino, access, share};

    Table& table = Openings();
    std::lock_guard<std::mutex> guard(table.lock);
    for (const auto& [otherFd, other] : table.openings) {
        if (otherFd != fd && other.device == opening.device && other.inode == opening.inode &&
            Conflicts(opening, other))
            return ERROR_SHARING_VIOLATION;
    }
    if (OtherProcessesConflict(fd, access, share)) return ERROR_SHARING_VIOLATION;
    table.openings[fd] = opening;
    return ERROR_SUCCESS;
}

void ForgetShare(int fd) {
    Table& table = Openings();
    std::lock_guard<std::mutex> guard(table.lock);
    table.openings.erase(fd);
}

bool HandleGrants(int fd, std::uint32_t access) {
    Table& table = Openings();
    std::lock_guard<std::mutex> guard(table.lock);
    const auto found = table.openings.find(fd);
    return found == table.openings.end() || (found->second.access & access) == access;
}

}  // namespace tqplat
