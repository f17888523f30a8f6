#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include "base/DateTime.h"

// Local time from the C library's zone data, chosen with TZ.
namespace w20 {
namespace {

TEST(DateTime, UnixSecondsAndLocalTime) {
    EXPECT_EQ(DateTimeToUnix(UnixToDateTime(1033032600)), 1033032600);
    setenv("TZ", "Europe/Warsaw", 1);
    tzset();
    long offset = 0;
    ASSERT_TRUE(LocalUtcOffset(1033032600, offset));  // 2002-09-26, summer time
    EXPECT_EQ(offset, 7200);
    ASSERT_TRUE(LocalUtcOffset(1038300000, offset));  // late November, winter time
    EXPECT_EQ(offset, 3600);
    EXPECT_DOUBLE_EQ(LocalDateTime(1033032600), UnixToDateTime(1033032600 + 7200));
    setenv("TZ", "Asia/Kolkata", 1);
    tzset();
    ASSERT_TRUE(LocalUtcOffset(1033032600, offset));
    EXPECT_EQ(offset, 19800);
    unsetenv("TZ");
    tzset();
}

}  // namespace
}  // namespace w20
