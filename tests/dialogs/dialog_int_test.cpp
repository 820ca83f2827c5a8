#include <gtest/gtest.h>

#include "dialogs/dialog_int.h"

namespace tavlin::dialogs {
namespace {

TEST(DialogInt, SignedNumbersWithBlanksAndLimits) {
    EXPECT_EQ(ParseDialogInt("20", true), 20);
    EXPECT_EQ(ParseDialogInt("  -255 ", true), -255);
    EXPECT_EQ(ParseDialogInt("2147483647", true), INT32_MAX);
    EXPECT_EQ(ParseDialogInt("-2147483648", true), INT32_MIN);
    EXPECT_EQ(ParseDialogInt("2147483648", true), std::nullopt);
    EXPECT_EQ(ParseDialogInt("99999999999999999999", true), std::nullopt);
}

TEST(DialogInt, TextThatIsNotANumberGivesNothing) {
    for (const char* text : {"", " ", "-", "12a", "a12", "1 2", "+5", "--1", "0x10", "1.5"}) {
        EXPECT_EQ(ParseDialogInt(text, true), std::nullopt) << '"' << text << '"';
    }
}

TEST(DialogInt, UnsignedTakesNoSignButTheWholeDword) {
    EXPECT_EQ(ParseDialogInt("-1", false), std::nullopt);
    EXPECT_EQ(ParseDialogInt("4294967295", false), -1);
    EXPECT_EQ(ParseDialogInt("4294967296", false), std::nullopt);
    EXPECT_EQ(FormatDialogInt(-1, false), "4294967295");
    EXPECT_EQ(FormatDialogInt(-1, true), "-1");
}

}  // namespace
}  // namespace tavlin::dialogs
