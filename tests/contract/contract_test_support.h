#pragma once
// Helpers shared by the contract tests: UTF-16 literals, the capture of what
// the library logs, allocation failure on demand, and threads run at once.
#include <thread>
#include <vector>

#include "support/capture.h"
#include "tqcore/heap.h"
#include "tqcore/wtext.h"

namespace tqtest {

using tqcore::W;

// What `call` returns while every allocation fails.
template <class Call>
auto WithoutMemory(Call call) {
    tqcore::SetAllocationFailureCountdown(0);
    const auto result = call();
    tqcore::SetAllocationFailureCountdown(-1);
    return result;
}

// Runs `work(t)` for t = 0 .. count-1, each on its own thread, and waits for all.
template <class Work>
void RunThreads(int count, Work work) {
    std::vector<std::thread> threads;
    for (int t = 0; t < count; ++t) threads.emplace_back(work, t);
    for (auto& thread : threads) thread.join();
}

}  // namespace tqtest
