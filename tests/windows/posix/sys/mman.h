#pragma once
// Anonymous mappings for the tests that fence a buffer with an unreadable
// page, over VirtualAlloc and VirtualProtect (posix_compat.cpp).
#include <cstddef>

#define PROT_NONE 0
#define PROT_READ 1
#define PROT_WRITE 2
#define MAP_PRIVATE 0x02
#define MAP_ANONYMOUS 0x20
#define MAP_FAILED (reinterpret_cast<void*>(-1))

void* mmap(void* address, std::size_t length, int prot, int flags, int fd, long offset);
int mprotect(void* address, std::size_t length, int prot);
int munmap(void* address, std::size_t length);
