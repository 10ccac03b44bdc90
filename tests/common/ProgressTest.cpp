#include "common/Progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(Progress, ReaderNeverSeesAHalfReplacedText)
{
    CProgressState state;
    const std::wstring a(4000, L'a');
    const std::wstring b(3000, L'b');
    state.SetDetailText(a);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            state.SetDetailText(i % 2 ? a : b);
            state.AddStep();
        }
        stop = true;
    });
    int torn = 0;
    int reads = 0;
    while (!stop) {
        const std::wstring seen = state.DetailText();
        if (seen != a && seen != b)
            ++torn;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(torn, 0) << "out of " << reads << " reads";
    EXPECT_EQ(state.StepCount(), 20000);
    state.Clear();
    EXPECT_EQ(state.StepCount(), 0);
    EXPECT_TRUE(state.DetailText().empty());
}
