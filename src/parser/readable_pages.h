#pragma once
// Which pages of the own process can be read, asked of the system.
#include <cstddef>
#include <cstdint>

namespace tqcore::parser {

constexpr std::uintptr_t kPage = 4096;
constexpr std::size_t kPagesPerCheck = 64;

// Number of readable pages from the page at `first`, in order, at most
// kPagesPerCheck, without a fault on any of them.
std::size_t ReadablePages(std::uintptr_t first);

}  // namespace tqcore::parser
