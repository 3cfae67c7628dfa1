#include <gtest/gtest.h>

#include <limits>

#include "events/DeviceInfo.hpp"
#include "events/ProgressionEventParams.hpp"

namespace mvk {
namespace {

TEST(ProgressionDurationTest, GivenDurationWinsElseSecondsSinceStartRoundedUp) {
    constexpr std::int64_t start = 1'700'000'000'000;
    const Location forest{
        .name = "Forest", .source = "map", .difficulty = 2, .startTimestamp = start};
    struct Case {
        const char* name;
        std::int64_t given;
        std::int64_t now;
        std::optional<std::int64_t> duration;
    };
    const Case cases[] = {
        {"given", 5, start + 60'000, 5},
        {"given even if the clock went back", 5, start - 60'000, 5},
        {"2300 ms", 0, start + 2'300, 3},
        {"exactly 2 s", 0, start + 2'000, 2},
        {"1 ms", -4, start + 1, 1},
        {"same millisecond", 0, start, std::nullopt},
        {"clock set back", 0, start - 2'300, std::nullopt},
        {"far future", 0, std::numeric_limits<std::int64_t>::max(), 9'223'370'336'854'776},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto params = ProgressionEventParams::finishing(forest, true, c.given, c.now);
        EXPECT_EQ(params.duration, c.duration);
        EXPECT_TRUE(params.success);
        EXPECT_EQ(params.difficulty, 2);
        EXPECT_EQ(params.source, "map");
    }

    const Location hostile{.name = "Cave",
                           .startTimestamp = std::numeric_limits<std::int64_t>::min()};
    EXPECT_EQ(hostile.elapsedSeconds(std::numeric_limits<std::int64_t>::max()),
              std::numeric_limits<std::int64_t>::max() / 1000 + 1);

    const auto bare = ProgressionEventParams::finishing(hostile, false, 0, hostile.startTimestamp);
    EXPECT_EQ(bare.toJson().dump(), R"({"success":false})");
}

TEST(DeviceDiagonalTest, RoundedToFiveDecimalsHalvesAwayFromZero) {
    EXPECT_DOUBLE_EQ(DeviceInfo::roundedDiagonal(5.8123456), 5.81235);
    EXPECT_DOUBLE_EQ(DeviceInfo::roundedDiagonal(6.1), 6.1);
    EXPECT_DOUBLE_EQ(DeviceInfo::roundedDiagonal(0.000005), 0.00001);
}

}  // namespace
}  // namespace mvk
