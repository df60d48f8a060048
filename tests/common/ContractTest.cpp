#include "kx/common/Contract.h"

#include <gtest/gtest.h>

namespace {

TEST(ContractTest, HoldingConditionReturns) {
    int evaluations = 0;
    KX_CHECK(++evaluations == 1);
    EXPECT_EQ(evaluations, 1);
}

TEST(ContractDeathTest, BrokenConditionStopsWithItsText) {
    EXPECT_DEATH(KX_CHECK(1 + 1 == 3), "Contract violated: 1 \\+ 1 == 3 at .*ContractTest.cpp");
}

}  // namespace
