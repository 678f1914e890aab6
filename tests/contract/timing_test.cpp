#include "tqcore/timing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "contract_test_support.h"

namespace {

using std::chrono::milliseconds;

// Loose upper bound: a loaded machine may stall a thread for a long time.
constexpr double kSlackMs = 2000.0;

TEST(CHFLapseTest, RunsUntilStoppedAndStartBeginsAFreshSubMillisecondLapse) {
    tqcore::CHFLapse idle(false), lapse(true);
    std::this_thread::sleep_for(milliseconds(20));
    idle.Stop();
    EXPECT_EQ(static_cast<double>(idle), 0.0) << "never started";
    const double running = lapse;
    EXPECT_TRUE(running >= 20.0 && running < 20.0 + kSlackMs) << running;
    std::this_thread::sleep_for(milliseconds(5));
    lapse.Stop();
    const double stopped = lapse;
    EXPECT_GE(stopped, running + 5.0);
    std::this_thread::sleep_for(milliseconds(5));
    lapse.Stop();  // a second Stop changes nothing
    EXPECT_EQ(static_cast<double>(lapse), stopped);
    lapse.Start();
    const auto end = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    while (std::chrono::steady_clock::now() < end) continue;
    lapse.Stop();
    EXPECT_TRUE(double(lapse) >= 0.2 && double(lapse) < stopped) << double(lapse);
    EXPECT_NE(double(lapse), std::floor(lapse)) << "a millisecond clock gives whole numbers";
}

// Whether another thread can enter `lock` now; it leaves again at once.
bool AnotherThreadEnters(tqcore::COSCriticalSection& lock) {
    bool got = false;
    std::thread([&] {
        got = lock.TryEnter();
        if (got) lock.Leave();
    }).join();
    return got;
}

class CriticalSectionTest : public ::testing::TestWithParam<unsigned int> {};

TEST_P(CriticalSectionTest, OwnerReentersAndOthersWaitUntilTheLastLeave) {
    tqcore::COSCriticalSection lock(GetParam());
    lock.Enter();
    lock.Enter();
    EXPECT_TRUE(lock.TryEnter());
    EXPECT_FALSE(AnotherThreadEnters(lock));
    lock.Leave();
    lock.Leave();
    EXPECT_FALSE(AnotherThreadEnters(lock));
    lock.Leave();
    EXPECT_TRUE(AnotherThreadEnters(lock));
}

TEST_P(CriticalSectionTest, ExcludesOtherThreads) {
    constexpr int kThreads = 4, kRounds = 20000;
    tqcore::COSCriticalSection lock(GetParam());
    long counter = 0;  // plain on purpose: only the lock protects it
    std::atomic<int> inside{0}, overlaps{0};
    tqtest::RunThreads(kThreads, [&](int) {
        for (int i = 0; i < kRounds; ++i) {
            lock.Enter();
            lock.Enter();  // nested, as callers of callers do
            if (inside.fetch_add(1) != 0) ++overlaps;
            counter = counter + 1;
            inside.fetch_sub(1);
            lock.Leave();
            lock.Leave();
        }
    });
    EXPECT_EQ(overlaps, 0);
    EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

INSTANTIATE_TEST_SUITE_P(SpinCounts, CriticalSectionTest, ::testing::Values(0u, 4000u));

TEST(CriticalSectionMisuseTest, LeaveWithoutOwningIsReportedAndIgnored) {
    tqtest::Capture capture;
    tqcore::COSCriticalSection lock;
    lock.Leave();  // never entered
    lock.Enter();
    std::thread([&] { lock.Leave(); }).join();  // not the owner
    EXPECT_EQ(tqtest::Capture::Reports().size(), 2u);
    EXPECT_FALSE(AnotherThreadEnters(lock)) << "a stranger's Leave released the lock";
    lock.Leave();
}

}  // namespace
