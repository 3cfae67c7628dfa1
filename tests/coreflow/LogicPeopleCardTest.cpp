#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "core/Core.hpp"
#include "coreflow/LogicFlowFixture.hpp"
#include "services/PeopleServiceProtocol.hpp"

namespace mvk::test {
namespace {

using Card = PeopleServiceProtocol;

struct PeopleCase {
    const char* name;
    std::function<void(Card&)> before;  // reported by a first send
    std::function<void(Card&)> change;
    bool byTimer;               // else by `sendBufferedEvents`
    nlohmann::json parameters;  // of the one "pl" event; discarded: none expected
};

void PrintTo(const PeopleCase& c, std::ostream* os) {
    *os << c.name;
}

class LogicPeopleCard : public LogicFlow, public ::testing::WithParamInterface<PeopleCase> {
  public:
    void onCard(const std::function<void(Card&)>& call) {
        onLogic(
            [&](AnalyticsProtocol&) { call(*Core::shared()->serviceFactory()->peopleService()); });
    }
};

TEST_P(LogicPeopleCard, OnlyTheChangedKeysAreReportedOnce) {
    const auto& c = GetParam();
    start();
    onCard(c.before);
    onLogic([](AnalyticsProtocol& l) { l.sendBufferedEvents(); });
    h.gateway().clearRequests();

    onCard(c.change);
    if (c.byTimer) {
        h.loop->advance(std::chrono::milliseconds(120'000));
        settle();
    } else {
        onLogic([](AnalyticsProtocol& l) { l.sendBufferedEvents(); });
    }
    const auto events = sent("pl");
    if (c.parameters.is_discarded()) {
        EXPECT_TRUE(events.empty()) << events.front().dump();
        return;
    }
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["parameters"], c.parameters);
    EXPECT_TRUE(events[0].contains("sessionId"));

    // Reported: a later send has nothing to add.
    onLogic([](AnalyticsProtocol& l) { l.sendBufferedEvents(); });
    EXPECT_EQ(sent("pl").size(), 1u);
}

const auto none = [](Card&) {};
const auto discarded = nlohmann::json(nlohmann::json::value_t::discarded);

INSTANTIATE_TEST_SUITE_P(
    Cases, LogicPeopleCard,
    ::testing::Values(
        PeopleCase{"ChangedKeysOnly",
                   [](Card& card) { card.setValue("clan", "wolves"); },
                   [](Card& card) {
                       card.setValue("rank", 3);
                       card.increment("rank", 2);
                   },
                   true,
                   {{"rank", 5}}},
        PeopleCase{"BySend",
                   none,
                   [](Card& card) { card.setValue("clan", "owls"); },
                   false,
                   {{"clan", "owls"}}},
        PeopleCase{"UnsetIsReportedAsNull",
                   [](Card& card) { card.setValue("clan", "wolves"); },
                   [](Card& card) { card.unset({"clan"}); },
                   false,
                   {{"clan", nullptr}}},
        PeopleCase{"ClearedCardIsNull", [](Card& card) { card.setValue("clan", "wolves"); },
                   [](Card& card) { card.clearUser(); }, true, nullptr},
        PeopleCase{"SameValueIsNoChange", [](Card& card) { card.setValue("clan", "wolves"); },
                   [](Card& card) { card.setValue("clan", "wolves"); }, true, discarded},
        PeopleCase{"NothingChanged", none, none, true, discarded}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test
