#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "events/EventRecord.hpp"
#include "platform/Clock.hpp"
#include "platform/ManualClock.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using test::LogCapture;

// A record shaped like the real ones: session and level, a number, a nested
// map, then the optional common keys.
class SampleEvent final : public EventRecord {
  public:
    SampleEvent(double price, std::optional<std::vector<std::string>> inProgress = std::nullopt,
                std::optional<std::string> inExperiments = std::nullopt,
                std::vector<double> extra = {})
        : EventRecord("vp"),
          price_(price),
          inProgress_(std::move(inProgress)),
          inExperiments_(std::move(inExperiments)),
          extra_(std::move(extra)) {}

  protected:
    void encodeFields(nlohmann::ordered_json& json) const override {
        json["sessionId"] = std::int64_t{42};
        json["level"] = 3;
        json["price"] = price_;
        json["extra"] = {{"values", extra_}};
        putIfPresent(json, "inProgress", inProgress_);
        putIfPresent(json, "inExperiments", inExperiments_);
    }
    void describeFields(EventDescription& description) const override {
        description.add("sessionId", std::int64_t{42})
            .add("level", 3)
            .add("price", price_)
            .add("inProgress", inProgress_)
            .add("inExperiments", inExperiments_);
    }

  private:
    double price_;
    std::optional<std::vector<std::string>> inProgress_;
    std::optional<std::string> inExperiments_;
    std::vector<double> extra_;
};

class EventRecordTest : public ::testing::Test {
  protected:
    EventRecordTest() { Clock::install(clock_); }
    ~EventRecordTest() override { Clock::install(nullptr); }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>(1'700'000'000'123);
};

TEST_F(EventRecordTest, JsonIsCompactInFieldOrderWithoutAbsentKeys) {
    const SampleEvent bare(1.5);
    EXPECT_EQ(bare.code(), "vp");
    EXPECT_EQ(bare.timestamp(), 1'700'000'000'123);
    EXPECT_EQ(bare.getJson(),
              R"({"code":"vp","timestamp":1700000000123,"sessionId":42,"level":3,"price":1.5,)"
              R"("extra":{"values":[]}})");

    const SampleEvent full(2.0, std::vector<std::string>{"Forest"}, "x");
    EXPECT_EQ(full.getJson(),
              R"({"code":"vp","timestamp":1700000000123,"sessionId":42,"level":3,"price":2.0,)"
              R"("extra":{"values":[]},"inProgress":["Forest"],"inExperiments":"x"})");
}

TEST_F(EventRecordTest, DescriptionHasOneLinePerPresentField) {
    EXPECT_EQ(SampleEvent(1.5).description(),
              "\t code: vp\n\t timestamp: 1700000000123\n\t sessionId: 42\n\t level: 3\n"
              "\t price: 1.5\n");
    EXPECT_EQ(SampleEvent(1.5, std::vector<std::string>{"a", "b"}).description(),
              "\t code: vp\n\t timestamp: 1700000000123\n\t sessionId: 42\n\t level: 3\n"
              "\t price: 1.5\n\t inProgress: [\"a\", \"b\"]\n");
}

TEST_F(EventRecordTest, NonFiniteNumbersGiveEmptyTextAndOneErrorLine) {
    struct Case {
        const char* name;
        SampleEvent event;
        std::string reason;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"NaN", SampleEvent(nan), "The value nan at \"/price\" is not a valid JSON number"},
        {"infinity", SampleEvent(inf), "The value inf at \"/price\" is not a valid JSON number"},
        {"nested minus infinity", SampleEvent(1, std::nullopt, std::nullopt, {0.5, -inf}),
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
