#include "common/WindowThread.h"

#include <gtest/gtest.h>

#include <thread>

TEST(WindowThread, IsTheThreadThatMadeItAndNoOther)
{
    const CWindowThread owner;
    EXPECT_TRUE(owner.IsCurrent());
    bool onWorker = true;
    std::thread([&] { onWorker = owner.IsCurrent(); }).join();
    EXPECT_FALSE(onWorker);
    // A write on the owning thread goes on.
    owner.AssertCurrent(L"a value of the test");

    // Made on a worker, the worker owns it.
    bool workerOwns = false;
    std::thread([&] { workerOwns = CWindowThread().IsCurrent(); }).join();
    EXPECT_TRUE(workerOwns);
}
