// Cutting the router's version out of its system listing, and comparing versions.

#include <gtest/gtest.h>

#include <string>

#include "software_update.h"

namespace cofralin {
namespace {

// A listing line as the router prints it: the label, 27 bytes, then the field.
std::string versionLine(const std::string& field) {
    return "System Version:" + std::string(27, ' ') + field;
}

TEST(CutRouterVersion, TheWordFortyTwoAfterTheLabelsStart) {
    const struct {
        std::string listing;
        std::string version;
    } cases[] = {
        {"Model: Q73\r\n" + versionLine("1.5.01") + "\r\nZarn-DSL>", "1.5.01"},
        // The whole word, whatever its length.
        {versionLine("01.06.00") + "\r\n", "01.06.00"},
        {versionLine("1.5.01234"), "1.5.01234"},
        {versionLine("1.6") + "\nX", "1.6"},
        {versionLine("1.6   Build 7"), "1.6"},
        {versionLine("1.6\tBuild 7"), "1.6"},
        // Blanks before the word are skipped.
        {versionLine("  1.6.00"), "1.6.00"},
        // The first label counts.
        {versionLine("1.5.01") + "\r\n" + versionLine("9.9.99"), "1.5.01"},
        // No version: no label, another label, nothing after it, a line that ends
        // before the version's column, a word too long to be one.
        {"Model: Q73\r\nZarn-DSL>", ""},
        {"System version:" + std::string(27, ' ') + "1.5.01", ""},
        {"System Version:" + std::string(27, ' '), ""},
        {"System Version:" + std::string(10, ' '), ""},
        {"System Version: 1.5.01\r\nModel:" + std::string(40, ' ') + "Q73", ""},
        {versionLine("\r\n1.5.01"), ""},
        {versionLine(std::string(40, 'x')), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(CutRouterVersion(c.listing), c.version) << c.listing;
}

TEST(CompareVersions, NumericPartsCompareAsNumbers) {
    EXPECT_GT(CompareVersions("1.5.10", "1.5.9"), 0);
    EXPECT_LT(CompareVersions("1.5.9", "1.5.10"), 0);
    EXPECT_GT(CompareVersions("1.6.00", "1.5.99"), 0);
    EXPECT_LT(CompareVersions("1.6.00", "2.0.00"), 0);
    EXPECT_EQ(CompareVersions("1.6.00", "1.6.0"), 0);
    EXPECT_EQ(CompareVersions("1.6.00", "1.6.00"), 0);
    EXPECT_GT(CompareVersions("10.0", "9.99"), 0);
    // Longer than any integer type still compares by value.
    EXPECT_GT(CompareVersions("1.100000000000000000000001", "1.99999999999999999999999"), 0);
}

TEST(CompareVersions, OtherPartsCompareAsTextAndTrailingBlanksDoNotCount) {
    EXPECT_GT(CompareVersions("1.6.b", "1.6.a"), 0);
    EXPECT_LT(CompareVersions("1.6.0a", "1.6.1"), 0);
    EXPECT_EQ(CompareVersions("1.6.00 ", "1.6.00"), 0);
    EXPECT_EQ(CompareVersions("1.6.00", "1.6.00  "), 0);
    // Bytes above 127 are larger than any ASCII byte.
    EXPECT_GT(CompareVersions("1.\xe9", "1.z"), 0);
    // A version that runs out of parts first is the older.
    EXPECT_LT(CompareVersions("1.6", "1.6.1"), 0);
    EXPECT_GT(CompareVersions("1.6.1", "1.6"), 0);
}

}  // namespace
}  // namespace cofralin
