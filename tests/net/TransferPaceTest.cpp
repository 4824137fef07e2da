#include "net/TransferPace.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct PaceCase {
    const char* name;
    long long bytesPerSecond; // steady rate, sampled once a second
    unsigned long long seconds;
    bool tooSlow;
};

TEST(TransferPace, FailsOnlyAfterAWholeMinuteBelowTheFloor)
{
    const PaceCase cases[] = {
        {"nothing for 59 s is not yet a minute", 0, 59, false},
        {"nothing for a minute", 0, 61, true},
        {"a byte every few seconds", 0, 120, true},
        {"just below the floor", 1000, 61, true},
        {"at the floor", 1024, 120, false},
        {"fast", 1000000, 300, false},
    };
    for (const PaceCase& c : cases) {
        CTransferPace pace;
        for (unsigned long long s = 0; s <= c.seconds; ++s)
            pace.Sample(5000 + s * 1000,
                        static_cast<long long>(s) * c.bytesPerSecond + (c.bytesPerSecond ? 0 : s / 40));
        EXPECT_EQ(c.tooSlow, pace.TooSlow()) << c.name;
    }
}

TEST(TransferPace, AFastStartDoesNotCoverALaterStall)
{
    CTransferPace pace;
    unsigned long long s = 0;
    for (; s <= 30; ++s) pace.Sample(s * 1000, static_cast<long long>(s) * 100000); // 3 MB in 30 s
    for (; s <= 80; ++s) pace.Sample(s * 1000, 3000000);                            // then nothing
    EXPECT_FALSE(pace.TooSlow()); // the last minute still holds the fast part
    for (; s <= 95; ++s) pace.Sample(s * 1000, 3000000);
    EXPECT_TRUE(pace.TooSlow());
}

TEST(TransferPace, RunBudgetIsTheFloorOverTheSizesAndAMinutePerFile)
{
    EXPECT_EQ(0u, CTransferPace::RunBudgetMs(0, 0));
    EXPECT_EQ(60000u, CTransferPace::RunBudgetMs(0, 1));
    EXPECT_EQ(1000u + 120000u, CTransferPace::RunBudgetMs(1024, 2));
    EXPECT_EQ(500u, CTransferPace::RunBudgetMs(512, 0));
    // Releases past 4 GiB stay exact in 64 bits.
    EXPECT_EQ(5ULL * 1024 * 1024 * 1000, CTransferPace::RunBudgetMs(5LL * 1024 * 1024 * 1024, 0));
}

} // namespace
