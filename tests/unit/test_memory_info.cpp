// The about window's memory figures: parsed from the kernel's table, shown in its formats.
#include "info/memory_info.h"

#include <gtest/gtest.h>

using namespace sayvell::info;

TEST(MemoryInfo, ReadsTotalAndLoadFromMeminfoWithOrWithoutMemAvailable) {
    const auto now = parseMeminfo(
        "MemTotal:       16000000 kB\nMemFree:  1000000 kB\n"
        "MemAvailable:    4000000 kB\nBuffers: 10 kB\n");
    ASSERT_TRUE(now);
    EXPECT_EQ(now->totalBytes, 16000000ull * 1024);  // past 4 GiB: no 32-bit count
    EXPECT_EQ(now->loadPercent, 75);

    const auto old = parseMeminfo("MemTotal: 1000 kB\nMemFree: 200 kB\nBuffers: 50 kB\nCached: 250 kB\n");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->loadPercent, 50);

    EXPECT_FALSE(parseMeminfo("MemFree: 200 kB\n"));
    EXPECT_FALSE(parseMeminfo("MemTotal: x kB\n"));
    EXPECT_FALSE(parseMeminfo(""));

    const MemoryStatus here = systemMemory();
    EXPECT_GT(here.totalBytes, 0u);
    EXPECT_GE(here.loadPercent, 0);
    EXPECT_LE(here.loadPercent, 100);
}

TEST(MemoryInfo, ShowsKibibytesWithThousandsSeparatorsAndTheLoadAsAPercent) {
    EXPECT_EQ(physMemText(2ull << 30), QStringLiteral("2,097,152 KB"));
    EXPECT_EQ(physMemText(64ull << 30), QStringLiteral("67,108,864 KB"));
    EXPECT_EQ(physMemText(1536), QStringLiteral("2 KB"));
    EXPECT_EQ(physMemText(1000 * 1024), QStringLiteral("1,000 KB"));
    EXPECT_EQ(physMemText(999 * 1024), QStringLiteral("999 KB"));
    EXPECT_EQ(memoryLoadText(45), QStringLiteral("45 %"));
}
