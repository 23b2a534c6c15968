#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>

#include "resources/CMessageFormatter.h"
#include "resources/CPrivateException.h"

namespace qt40 {
namespace {

TEST(PrivateExceptionTest, ErrorMessageIsCutToTheBufferAndTerminated) {
    const CPrivateException e("abcdefgh");
    char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_TRUE(e.GetErrorMessage(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "abcd");

    char one[1] = {'x'};
    EXPECT_TRUE(e.GetErrorMessage(one, 1));
    EXPECT_EQ(one[0], '\0');

    char wide[32];
    EXPECT_TRUE(e.GetErrorMessage(wide, sizeof wide));
    EXPECT_STREQ(wide, "abcdefgh");
    EXPECT_TRUE(e.GetErrorMessage(nullptr, 0));
}

TEST(PrivateExceptionTest, CodeWithoutSystemTextGivesAnEmptyText) {
    try {
        CheckResult(987654);
        FAIL() << "no exception";
    } catch (const CPrivateException& e) {
        EXPECT_EQ(e.Text(), "");
    }
    EXPECT_EQ(CMessageFormatter(-5).Text(), "");
}

TEST(PrivateExceptionTest, ResultCheckThrowsForEveryNonZeroCode) {
    EXPECT_NO_THROW(CheckResult(0));
    // 1 counts as "success with information" on some platforms: still a failure.
    EXPECT_THROW(CheckResult(1), CPrivateException);
    try {
        CheckResult(ENOENT);
        FAIL() << "no exception";
    } catch (const std::exception& e) {  // caught as the standard family too
        EXPECT_EQ(std::string(e.what()), CMessageFormatter(ENOENT).Text());
        EXPECT_FALSE(std::string(e.what()).empty());
    }
}

TEST(PrivateExceptionTest, FormatterInsertsTheMessageOfACaughtException) {
    const std::runtime_error error("disk full");
    EXPECT_EQ(CMessageFormatter("Saving failed: %1!s!", error).Text(), "Saving failed: disk full");
    EXPECT_EQ(CPrivateException(CMessageFormatter("[%1]", error)).Text(), "[disk full]");
}

TEST(PrivateExceptionTest, LongExceptionMessagesAreCutOnACharacterBoundary) {
    // 1022 ASCII bytes then a three-byte character that would straddle 1023.
    const std::runtime_error error(std::string(1022, 'a') + "\xE3\x81\x82" + "tail");
    const std::string message = CMessageFormatter::ExceptionMessage(error);
    EXPECT_EQ(message, std::string(1022, 'a'));
}

}  // namespace
}  // namespace qt40
