#include "util/Global.h"

#include <gtest/gtest.h>

using namespace velmora::Global;

TEST(RandomBetween, firstDrawOfProgram_isTheFixedSequencesFirst) {
    const int first = RandomBetween(1, 40000);
    const int second = RandomBetween(1, 40000);
    RandomSequence fresh;
    EXPECT_EQ(first, fresh.Between(1, 40000));
    EXPECT_EQ(second, fresh.Between(1, 40000));
}
