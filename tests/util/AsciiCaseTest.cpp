#include "util/AsciiCase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

TEST(AsciiCaseTest, OnlyAsciiLettersFoldAndOtherBytesCompareUnsigned)
{
    EXPECT_EQ(AsciiUpperCase("Waves_2 zé"), "WAVES_2 Zé");
    EXPECT_TRUE(SameNoCase("Spiral Galaxy", "sPIRAL gALAXY"));
    EXPECT_FALSE(SameNoCase("Spiral", "Spiral "));
    EXPECT_FALSE(SameNoCase("é", "É"));
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_LT(CompareNoCase("ab", "ABC"), 0);
    EXPECT_GT(CompareNoCase("\xC3", "z"), 0);
    EXPECT_TRUE(StartsWithNoCase("HEX(2):41", "hex("));
    EXPECT_TRUE(EndsWithNoCase("frame.PNG", ".png"));
    EXPECT_FALSE(EndsWithNoCase("png", ".png"));
}

TEST(AsciiCaseTest, OrderingFoldsUpSoUnderscoreSortsAfterLettersAsInTheRegistry)
{
    std::vector<std::string> names = {"a_b", "AbC", "ab", "A[", "aa"};
    std::sort(names.begin(), names.end(), TNoCaseLess());
    EXPECT_EQ(names, (std::vector<std::string>{"aa", "ab", "AbC", "A[", "a_b"}));

    std::map<std::string, int, TNoCaseLess> byName = {{"Waves", 1}};
    EXPECT_EQ(byName.count(std::string_view("WAVES")), 1u);
    EXPECT_EQ(byName.count(std::string_view("Wave")), 0u);
}

} // namespace
