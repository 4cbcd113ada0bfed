#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tools/frameencoder.h"
#include "tools/valuepattern.h"

// Values are compared as the numbers the frames carry, as a reader sees them.

TEST(ValuePattern, ConstantSendsTheValueEveryTime)
{
    CValuePattern pattern(CValuePattern::Kind::Constant, 1013.2, 0.1, 1);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(10132, CFrameEncoder::NumberFor(pattern.Next(), false));
}

TEST(ValuePattern, RampClimbsOneStepAFrameThenStartsAgain)
{
    CValuePattern tenths(CValuePattern::Kind::Ramp, 1013.2, 0.1, 1);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(10132 + i, CFrameEncoder::NumberFor(tenths.Next(), false)) << i;
    EXPECT_EQ(10132, CFrameEncoder::NumberFor(tenths.Next(), false));

    CValuePattern whole(CValuePattern::Kind::Ramp, -50, 1.0, 1);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(-50 + i, CFrameEncoder::NumberFor(whole.Next(), true)) << i;
    EXPECT_EQ(-50, CFrameEncoder::NumberFor(whole.Next(), true));
}

TEST(ValuePattern, DriftMovesButStaysAroundTheValue)
{
    CValuePattern pattern(CValuePattern::Kind::Drift, 1013.2, 0.1, 302);
    std::set<int> seen;
    long long sum = 0;
    const int frames = 10000;
    for (int i = 0; i < frames; ++i) {
        const int number = CFrameEncoder::NumberFor(pattern.Next(), false);
        ASSERT_LE(std::abs(number - 10132), 50) << "frame " << i;
        seen.insert(number);
        sum += number;
    }
    EXPECT_GT(seen.size(), 20u) << "a drifting value must not sit still";
    EXPECT_NEAR(10132.0, double(sum) / frames, 10.0);
}

TEST(ValuePattern, DriftIsTheSameForTheSameSeed)
{
    CValuePattern a(CValuePattern::Kind::Drift, 500, 1.0, 9);
    CValuePattern b(CValuePattern::Kind::Drift, 500, 1.0, 9);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(a.Next(), b.Next());
}
