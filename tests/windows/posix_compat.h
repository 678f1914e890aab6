#pragma once
// The few POSIX calls the shared test helpers make, over the Windows C
// runtime, so that the same test files build for Windows. Included ahead of
// every test file of a Windows build.
#include <direct.h>
#include <io.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

// Windows raises no bus error; a number no Windows signal has.
#ifndef SIGBUS
#define SIGBUS 10
#endif

#define _SC_PAGESIZE 30
inline long sysconf(int) {
    return 4096;
}

inline char* mkdtemp(char* pattern) {
    if (_mktemp_s(pattern, std::strlen(pattern) + 1) != 0 || _mkdir(pattern) != 0) return nullptr;
    return pattern;
}

inline int setenv(const char* name, const char* value, int /*overwrite*/) {
    return _putenv_s(name, value);
}

inline int unsetenv(const char* name) {
    return _putenv_s(name, "");
}

// Windows has no symbolic links a test could make without privileges.
inline int lstat(const char* path, struct stat* info) {
    return stat(path, info);
}

// Nor FIFOs: tests that make either are left out (tests/windows-skips.txt).
inline int symlink(const char*, const char*) {
    errno = ENOSYS;
    return -1;
}
inline int mkfifo(const char*, int) {
    errno = ENOSYS;
    return -1;
}

// Whether a descriptor is open, which is all the tests ask of fcntl.
#define F_GETFD 1
inline int fcntl(int fd, int) {
    return _get_osfhandle(fd) == -1 ? -1 : 0;
}
