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

TEST(CutRouterVersion, SixBytesFortyTwoAfterTheLabelsStart) {
    EXPECT_EQ(CutRouterVersion("Model: Q73\r\n" + versionLine("1.5.01") + "\r\nZarn-DSL>"),
              "1.5.01");
    // Only six bytes are taken, whatever follows.
    EXPECT_EQ(CutRouterVersion(versionLine("1.5.01234")), "1.5.01");
    // The first label counts.
    EXPECT_EQ(CutRouterVersion(versionLine("1.5.01") + "\r\n" + versionLine("9.9.99")), "1.5.01");
}

TEST(CutRouterVersion, ShortVersionsStopAtTheLineEndOrLoseTrailingBlanks) {
    EXPECT_EQ(CutRouterVersion(versionLine("1.5.9") + "\r\nZarn-DSL>"), "1.5.9");
    EXPECT_EQ(CutRouterVersion(versionLine("1.6") + "\nX"), "1.6");
    EXPECT_EQ(CutRouterVersion(versionLine("1.6   ") + "Build 7"), "1.6");
}

TEST(CutRouterVersion, NothingWithoutTheLabelOrTheField) {
    EXPECT_EQ(CutRouterVersion("Model: Q73\r\nZarn-DSL>"), "");
    EXPECT_EQ(CutRouterVersion("System version:" + std::string(27, ' ') + "1.5.01"), "");
    EXPECT_EQ(CutRouterVersion("System Version:" + std::string(27, ' ')), "");
    EXPECT_EQ(CutRouterVersion("System Version:" + std::string(10, ' ')), "");
    EXPECT_EQ(CutRouterVersion(versionLine("\r\n1.5.01")), "");
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
