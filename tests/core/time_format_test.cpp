#include "core/time_format.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>

namespace hvn {
namespace {

class TimeFormat : public ::testing::Test {
protected:
    void SetUp() override {
        const char *tz = std::getenv("TZ");
        saved_ = tz ? std::optional<std::string>(tz) : std::nullopt;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    std::optional<std::string> saved_;
};

TEST_F(TimeFormat, FormatTime_Patterns_LocalTimeText) {
    EXPECT_EQ(FormatTime(0, "%d/%m/%Y"), "01/01/1970");
    EXPECT_EQ(FormatTime(1234567890, "%Y %m"), "2009 02");
    EXPECT_EQ(FormatTime(1234567890, "%H:%M:%S"), "23:31:30");
    EXPECT_EQ(FormatTime(0, ""), "");
}

TEST_F(TimeFormat, FormatTime_ResultBeyond255Bytes_Empty) {
    EXPECT_EQ(FormatTime(0, std::string(255, 'x')).size(), 255u);
    EXPECT_EQ(FormatTime(0, std::string(256, 'x')), "");
    EXPECT_EQ(FormatTime(0, std::string(100, 'x') + "%Y" + std::string(152, 'y')), "");
}

TEST_F(TimeFormat, CurrentTime_AgreesWithTheSystemClock) {
    int64_t now = CurrentTime();
    EXPECT_LE(std::abs(now - int64_t(std::time(nullptr))), 1);
}

} // namespace
} // namespace hvn
