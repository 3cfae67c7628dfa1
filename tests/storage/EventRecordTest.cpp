#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "events/EventRecord.hpp"
#include "events/StorableEvent.hpp"
#include "foundation/Clock.hpp"
#include "foundation/ManualClock.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using test::LogCapture;

// A record shaped like the real ones: session and level, a number, a nested
// map, then the optional common keys.
struct SampleEvent {
    static constexpr std::string_view code = "vp";
    std::int64_t timestamp = Clock::nowMillis();
    double price = 0;
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};
    std::vector<double> extra{};

    void encodeFields(nlohmann::ordered_json& json) const {
        json["sessionId"] = std::int64_t{42};
        json["level"] = 3;
        json["price"] = price;
        json["extra"] = {{"values", extra}};
        EventRecord::putIfPresent(json, "inProgress", inProgress);
        EventRecord::putIfPresent(json, "inExperiments", inExperiments);
    }
    void describeFields(EventDescription& description) const {
        description.add("sessionId", std::int64_t{42})
            .add("level", 3)
            .add("price", price)
            .add("inProgress", inProgress)
            .add("inExperiments", inExperiments);
    }
};

class EventRecordTest : public ::testing::Test {
  protected:
    EventRecordTest() { Clock::install(clock_); }
    ~EventRecordTest() override { Clock::install(nullptr); }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>(1'700'000'000'123);
};

TEST_F(EventRecordTest, JsonIsCompactInFieldOrderWithoutAbsentKeys) {
    const StorableEvent bare(SampleEvent{.price = 1.5});
    EXPECT_EQ(bare.code(), "vp");
    EXPECT_EQ(bare.record().timestamp, 1'700'000'000'123);
    EXPECT_EQ(bare.getJson(),
              R"({"code":"vp","timestamp":1700000000123,"sessionId":42,"level":3,"price":1.5,)"
              R"("extra":{"values":[]}})");

    const StorableEvent full(SampleEvent{
        .price = 2.0, .inProgress = std::vector<std::string>{"Forest"}, .inExperiments = "x"});
    EXPECT_EQ(full.getJson(),
              R"({"code":"vp","timestamp":1700000000123,"sessionId":42,"level":3,"price":2.0,)"
              R"("extra":{"values":[]},"inProgress":["Forest"],"inExperiments":"x"})");
}

TEST_F(EventRecordTest, DescriptionHasOneLinePerPresentField) {
    EXPECT_EQ(EventRecord::description(SampleEvent{.price = 1.5}),
              "\t code: vp\n\t timestamp: 1700000000123\n\t sessionId: 42\n\t level: 3\n"
              "\t price: 1.5\n");
    EXPECT_EQ(EventRecord::description(
                  SampleEvent{.price = 1.5, .inProgress = std::vector<std::string>{"a", "b"}}),
              "\t code: vp\n\t timestamp: 1700000000123\n\t sessionId: 42\n\t level: 3\n"
              "\t price: 1.5\n\t inProgress: [\"a\", \"b\"]\n");
}

TEST_F(EventRecordTest, NonFiniteNumbersGiveEmptyTextAndOneErrorLine) {
    struct Case {
        const char* name;
        StorableEvent<SampleEvent> event;
        std::string reason;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"NaN", StorableEvent(SampleEvent{.price = nan}),
         "The value nan at \"/price\" is not a valid JSON number"},
        {"infinity", StorableEvent(SampleEvent{.price = inf}),
         "The value inf at \"/price\" is not a valid JSON number"},
        {"nested minus infinity", StorableEvent(SampleEvent{.price = 1, .extra = {0.5, -inf}}),
         "The value -inf at \"/extra/values/1\" is not a valid JSON number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log(MVKLogLevel::debug);
        EXPECT_EQ(c.event.getJson(), "");
        EXPECT_EQ(log.messages(),
                  (std::vector<std::string>{"ERROR When trying to get json string from \n\t[" +
                                            c.event.description() +
                                            "] \n\tobject an error has occurred: " + c.reason}));
    }
}

}  // namespace
}  // namespace mvk
