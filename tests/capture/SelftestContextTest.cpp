#include <gtest/gtest.h>

#include "tests/support/RunProgram.h"

namespace {

TEST(SelftestContext, PassesOnTheBuiltInCases)
{
    const ProgramResult result = runProgram(quilloBinary(), {QStringLiteral("--selftest-context")});
    EXPECT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.endsWith("\nCONTEXT_SELFTEST_PASS\n")) << result.out.toStdString();
    EXPECT_FALSE(result.out.contains("FAIL")) << result.out.toStdString();
}

}
