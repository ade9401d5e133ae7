#include <gtest/gtest.h>

#include "engine/pda_turns.h"

namespace vantorel::engine {
namespace {

TEST(PdaTurns, OneByteOverTheDefaultSectorTakesTwoTurns) {
    const auto turns = PlanPdaTurns(92160001, 0xABCD, 92160000);
    ASSERT_EQ(turns.size(), 2u);
    EXPECT_EQ(turns[0].position, 0u);
    EXPECT_EQ(turns[0].length, 92160000u);
    EXPECT_EQ(turns[0].check, 92160001u) << "a full turn carries the size word";
    EXPECT_EQ(turns[1].position, 45000u);
    EXPECT_EQ(turns[1].length, 1u);
    EXPECT_EQ(turns[1].check, 0xABCDu) << "the last turn carries the header's check word";
}

TEST(PdaTurns, AnImageThatFitsIsOneTurnWithTheLastCheck) {
    const auto turns = PlanPdaTurns(6'000'000, 0x77, 92160000);
    ASSERT_EQ(turns.size(), 1u);
    EXPECT_EQ(turns[0].length, 6'000'000u);
    EXPECT_EQ(turns[0].check, 0x77u);
}

TEST(PdaTurns, AnExactMultipleEndsOnAFullTurnWithTheLastCheck) {
    const uint32_t sector = 5 << 20;
    const auto turns = PlanPdaTurns(sector * 2, 9, sector);
    ASSERT_EQ(turns.size(), 2u);
    EXPECT_EQ(turns[0].check, sector * 2);
    EXPECT_EQ(turns[1].check, 9u);
    EXPECT_EQ(turns[1].position, sector / 2048);
}

TEST(PdaTurns, NoSectorOrNoImageMeansNoTurns) {
    EXPECT_TRUE(PlanPdaTurns(100, 1, 0).empty());
    EXPECT_TRUE(PlanPdaTurns(0, 1, 92160000).empty());
}

}  // namespace
}  // namespace vantorel::engine
