#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "support/FailingVfs.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {
namespace {

// An event and the change it allows, or a level's total and the record that
// accounts for it: a failed commit must leave neither, and say so, so that the
// host's retry is taken and nothing is reported twice, lost, or reported by a
// level-up alone.
struct UnitCase {
    const char* name;
    std::function<void(AnalyticsProtocol&)> before;
    std::function<void(AnalyticsProtocol&)> call;
    std::function<void(AnalyticsProtocol&)> retry;
    /// The event the call stores; none for an accrual, whose record is a row.
    std::string code;
    /// The tables the change writes, and the rows of each after the failed
    /// commit and after the retry.
    std::vector<std::string> tables;
    std::size_t rowsAfterFailure;
    std::size_t rowsAfterRetry;
    /// The error line of the failure.
    std::string failureLine;
    /// An info line that must not appear after the failure, and does after the retry.
    std::string successLine;
};

void PrintTo(const UnitCase& c, std::ostream* os) {
    *os << c.name;
}

const std::vector<UnitCase> unitCases = {
    {"CurrencyAccrual",
     [](AnalyticsProtocol& l) { l.currencyAccrual("gold", 5, "quest", MVKAccrualType::earned); },
     [](AnalyticsProtocol& l) { l.levelUp(2, {}); },
     [](AnalyticsProtocol& l) { l.levelUp(3, {}); },
     "ca",
     {"currencyAccrualResources"},
     1,
     0,
     "The currency accrual event can't be stored; its accruals stay for the next one",
     ""},
    {"Tutorial",
     nullptr,
     [](AnalyticsProtocol& l) { l.tutorial(1); },
     [](AnalyticsProtocol& l) { l.tutorial(1); },
     "tr",
     {"tutorialMarkEntry"},
     0,
     1,
     "The tutorial step [1] can't be saved; it is not marked as used",
     "The tutorial step [1] is saved"},
    {"RealPayment",
     nullptr,
     [](AnalyticsProtocol& l) { l.realCurrencyPayment("order-1", 1.5, "pack", "USD"); },
     [](AnalyticsProtocol& l) { l.realCurrencyPayment("order-1", 1.5, "pack", "USD"); },
     "rp",
     {"realPaymentMarks"},
     0,
     1,
     "Real payment with orderId [order-1] can't be stored; it is not marked as used",
     ""},
    {"AccrualAndItsLevelTotal",
     nullptr,
     [](AnalyticsProtocol& l) { l.currencyAccrual("gold", 5, "quest", MVKAccrualType::bought); },
     [](AnalyticsProtocol& l) { l.currencyAccrual("gold", 5, "quest", MVKAccrualType::bought); },
     "",
     {"currencyAccrualResources", "levelResource"},
     0,
     1,
     "The currency accrual of [gold] from [quest] can't be stored; it is not counted on this "
     "level either",
     ""},
    {"VirtualPaymentAndItsLevelTotals",
     nullptr,
     [](AnalyticsProtocol& l) {
         l.virtualCurrencyPayment("sword", "item", 1, {{"gold", 5}, {"gem", 2}});
     },
     [](AnalyticsProtocol& l) {
         l.virtualCurrencyPayment("sword", "item", 1, {{"gold", 5}, {"gem", 2}});
     },
     "vp",
     {"levelResource"},
     0,
     2,
     "The virtual payment [sword] can't be stored; its price is not counted as spent on this level",
     ""},
};

class LogicStoredUnit : public LogicFlow,
                        public ::testing::WithParamInterface<std::tuple<UnitCase, bool>> {
  public:
    std::size_t rows(const std::string& table) const { return h.columnTexts(table, "id").size(); }
    std::size_t storedOrSent(const std::string& code) const {
        std::size_t count = sent(code).size();
        for (const auto& json : h.columnTexts("events", "eventJson")) {
            count += nlohmann::json::parse(json).value("code", "") == code ? 1 : 0;
        }
        return count;
    }
    /// Queues the blocks one behind another: with a block waiting, an event
    /// stored by the first opens a group, which the report packed after it
    /// commits.
    void queued(const std::vector<std::function<void(AnalyticsProtocol&)>>& calls) {
        for (const auto& call : calls) {
            Core::shared()->analyticsProxy().enqueue("test", heldBytes(), call);
        }
        settle();
    }
};

TEST_P(LogicStoredUnit, AFailedCommitLeavesNeitherTheEventNorItsChange) {
    const UnitCase& c = std::get<0>(GetParam());
    const bool inGroup = std::get<1>(GetParam());
    FailingVfs vfs;
    // Each stored event then packs a report, whose commit would end an open
    // group between the event and its change.
    h.gateway().setAnswer(
        "/v2/analytics/config",
        gateway::ScriptedAnswer::json(
            200, R"({"timeForRequest":120000,"countForRequest":1,"eventParamsCount":20,)"
                 R"("sessionTimeout":600000,"aliveTimeout":300000,"userCounting":true,)"
                 R"("serverTime":1700000000000})"));
    start(tracking(MVKTrackingStatus::enable));
    if (c.before) {
        onLogic(c.before);
    }
    LogCapture log(MVKLogLevel::debug);
    std::vector<std::function<void(AnalyticsProtocol&)>> calls{[&](AnalyticsProtocol& l) {
        vfs.failLogWrites();
        c.call(l);
    }};
    if (inGroup) {
        calls.push_back([](AnalyticsProtocol& l) { l.customEvent("behind", std::nullopt); });
    }
    queued(calls);
    ASSERT_EQ(vfs.failed(), 1);
    EXPECT_EQ(storedOrSent(c.code), 0u);
    for (const auto& table : c.tables) {
        EXPECT_EQ(rows(table), c.rowsAfterFailure) << table;
    }
    EXPECT_EQ(log.count(MVKLogLevel::error, c.failureLine), 1u);
    if (!c.successLine.empty()) {
        EXPECT_EQ(log.count(MVKLogLevel::info, c.successLine), 0u);
    }

    log.clear();
    onLogic(c.retry);
    EXPECT_EQ(storedOrSent(c.code), c.code.empty() ? 0u : 1u);
    for (const auto& table : c.tables) {
        EXPECT_EQ(rows(table), c.rowsAfterRetry) << table;
    }
    if (!c.successLine.empty()) {
        EXPECT_EQ(log.count(MVKLogLevel::info, c.successLine), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Units, LogicStoredUnit,
                         ::testing::Combine(::testing::ValuesIn(unitCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "InAGroup" : "Alone");
                         });

}  // namespace
}  // namespace mvk::test
