// Standard streams on POSIX: closed descriptors occupied, and failed writes
// reported rather than fatal.
#include "standard_streams.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace tqxmltool {
namespace {

// A closed standard descriptor would be handed to the next file opened, and
// text meant for standard output would land in the output file. Standard
// output is put on a read-only /dev/null, so every write to it fails and is
// reported; the others on /dev/null.
void OccupyClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", fd == STDERR_FILENO ? O_WRONLY : O_RDONLY);
}

}  // namespace

void PrepareStandardStreams() {
    OccupyClosedStandardDescriptors();
    // Failed writes are reported as such, not by the default deaths.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace tqxmltool
