#pragma once
// The library's second thread: one per process, started at first use, which
// takes a share of a large parse, and later of that tree's release, off the
// thread doing it. The second thread releases mostly what it built, memory
// its own core's caches still hold.
//
// One thread at a time holds it (holds nest on that thread) and hands it one
// job at a time. It is never stopped: a parse or release may run during
// static destruction. A forked child has none and works alone.
#include "tqxml/export.h"

namespace tqcore::module {

class SecondThread {
  public:
    using Job = void (*)(void* arg) noexcept;

    // Counts the parses and large releases running. The second thread only
    // helps one that runs alone: threads that keep the cores busy already
    // gain nothing from it. Enter gives whether the caller is alone.
    // Exported for the tests, which count a parse as running.
    TQXML_API static bool Enter() noexcept;
    TQXML_API static void Leave() noexcept;
    // Whether another parse or large release runs beside the caller's, which
    // has entered.
    static bool Crowded() noexcept;

    // Holds the thread for the calling one when it is free for a job: held
    // by no other thread and, when this one holds it already, running none.
    // False otherwise, or when none can run.
    static bool Hold() noexcept;
    // Lets go of one hold; the last waits for the job first.
    static void Let() noexcept;
    // Whether no job runs. Only for the holder.
    static bool Idle() noexcept;
    // Whether a thread may hold it at all (default true); returns the
    // setting before. For benchmarks that measure parses on one core each.
    TQXML_API static bool Allow(bool allowed) noexcept;
    // Runs `job(arg)` on the second thread: held and idle.
    static void Start(Job job, void* arg) noexcept;
    // Returns once no job runs. Only for the holder.
    static void Wait() noexcept;
};

}  // namespace tqcore::module
