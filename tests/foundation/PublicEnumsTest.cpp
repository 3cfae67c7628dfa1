#include <gtest/gtest.h>

#include "mvk/MVKAccrualType.hpp"
#include "mvk/MVKLogLevel.hpp"
#include "mvk/MVKTrackingStatus.hpp"

namespace mvk {
namespace {

TEST(PublicEnumsTest, LogLevelRawValuesAndNames) {
    const char* names[] = {"UNKNOWN", "NO", "ERROR", "WARNING", "INFO", "DEBUG"};
    for (std::int64_t raw = 0; raw <= 5; ++raw) {
        auto level = MVKLogLevelFromRawValue(raw);
        ASSERT_TRUE(level.has_value());
        EXPECT_EQ(rawValue(*level), raw);
        EXPECT_EQ(description(*level), names[raw]);
        EXPECT_EQ(MVKLogLevelAllCases[raw], *level);
    }
    EXPECT_FALSE(MVKLogLevelFromRawValue(6));
    EXPECT_FALSE(MVKLogLevelFromRawValue(-1));
    EXPECT_EQ(description(static_cast<MVKLogLevel>(42)), "UNKNOWN");
}

TEST(PublicEnumsTest, TrackingStatusAndAccrualType) {
    EXPECT_EQ(description(*MVKTrackingStatusFromRawValue(0)), "UNKNOWN");
    EXPECT_EQ(description(*MVKTrackingStatusFromRawValue(1)), "ENABLE");
    EXPECT_EQ(description(*MVKTrackingStatusFromRawValue(2)), "DISABLE");
    EXPECT_FALSE(MVKTrackingStatusFromRawValue(3));

    EXPECT_EQ(*MVKAccrualTypeFromRawValue(0), MVKAccrualType::earned);
    EXPECT_EQ(description(MVKAccrualType::bought), "bought");
    EXPECT_EQ(description(MVKAccrualType::earned), "earned");
    EXPECT_FALSE(MVKAccrualTypeFromRawValue(2));
}

}  // namespace
}  // namespace mvk
