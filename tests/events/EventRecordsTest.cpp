#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "events/AdImpression.hpp"
#include "events/Alive.hpp"
#include "events/CheaterMark.hpp"
#include "events/CurrencyAccrual.hpp"
#include "events/CurrentBalance.hpp"
#include "events/CustomEvent.hpp"
#include "events/DeviceInfo.hpp"
#include "events/EventCode.hpp"
#include "events/EventObject.hpp"
#include "events/LevelUp.hpp"
#include "events/PeopleEvent.hpp"
#include "events/ProgressionEvent.hpp"
#include "events/PushOpened.hpp"
#include "events/PushToken.hpp"
#include "events/RealCurrencyPayment.hpp"
#include "events/Referral.hpp"
#include "events/RestoredTransactionsEvent.hpp"
#include "events/SessionStart.hpp"
#include "events/SocialNetworkConnect.hpp"
#include "events/SocialNetworkPost.hpp"
#include "events/StorableEvent.hpp"
#include "events/SubscriptionPayment.hpp"
#include "events/SubscriptionProductsEvent.hpp"
#include "events/TesterMark.hpp"
#include "events/TrackingStatus.hpp"
#include "events/Tutorial.hpp"
#include "events/UserEngagement.hpp"
#include "events/VirtualCurrencyPayment.hpp"
#include "foundation/ManualClock.hpp"
#include "storage/SQLiteConvertible.hpp"
#include "storage/SQLiteProvider.hpp"
#include "storage/StorageTestSupport.hpp"
#include "support/LogCapture.hpp"

namespace mvk {
namespace {

using test::LogCapture;
using Strings = std::vector<std::string>;
using Amounts = std::map<std::string, std::int64_t>;

constexpr std::int64_t now = 1'700'000'000'123;
constexpr std::int64_t session = 1'699'999'000'000;
const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

// Text pieces shared by the golden rows: `head("ce")` is the code, the clock's
// timestamp and the session id.
std::string head(const std::string& code) {
    return R"({"code":")" + code + R"(","timestamp":1700000000123,"sessionId":1699999000000)";
}
const std::string progressAndMarker = R"("inProgress":["Forest"],"inExperiments":"x"})";
const Strings forest = {"Forest"};

template <EventRecordType R>
std::shared_ptr<Storable> storable(R record) {
    return std::make_shared<StorableEvent<R>>(std::move(record));
}

struct Row {
    std::string name;
    std::shared_ptr<Storable> event;
    std::string golden;
};

SubscriptionProduct yearly() {
    return {.productId = "year",
            .price = 39.99,
            .regionCode = "DE",
            .currencyCode = "EUR",
            .introductoryPrice = 0.99,
            .discounts = std::map<std::string, double>{{"b", 2}, {"a", 1.5}}};
}

// A minimal and a full row per code, built on the fixture's clock.
std::vector<Row> rows() {
    PeopleProperties card{{"age", 30},     {"email", nullptr}, {"gender", MVKGender::female},
                          {"name", "Ann"}, {"score", 1.5},     {"vip", true}};
    const ProgressionEventParams finished{
        .success = true, .duration = 3, .difficulty = 2, .source = "map"};
    return {
        {"ss minimal", storable(SessionStart{.timestamp = 5000, .sessionId = 5000, .level = 3}),
         R"({"code":"ss","timestamp":5000,"sessionId":5000,"level":3})"},
        {"ss full",
         storable(SessionStart{.timestamp = session,
                               .sessionId = session,
                               .level = 3,
                               .inProgress = forest,
                               .inExperiments = "x"}),
         R"({"code":"ss","timestamp":1699999000000,"sessionId":1699999000000,"level":3,)" +
             progressAndMarker},
        {"ue minimal", storable(UserEngagement{.sessionId = session, .level = 3, .length = 1}),
         head("ue") + R"(,"level":3,"length":1})"},
        {"ue full",
         storable(UserEngagement{.sessionId = session,
                                 .level = 3,
                                 .length = 95,
                                 .inProgress = forest,
                                 .inExperiments = "x"}),
         head("ue") + R"(,"level":3,"length":95,)" + progressAndMarker},
        {"al minimal", storable(Alive{.sessionId = session}), head("al") + "}"},
        {"al full", storable(Alive{.sessionId = session, .inExperiments = "x"}),
         head("al") + R"(,"inExperiments":"x"})"},
        {"ts minimal", storable(TrackingStatus{.trackingAllowed = false}),
         R"({"code":"ts","timestamp":1700000000123,"trackingAllowed":false})"},
        {"ts full",
         storable(
             TrackingStatus{.trackingAllowed = true, .inProgress = forest, .inExperiments = "x"}),
         R"({"code":"ts","timestamp":1700000000123,"trackingAllowed":true,)" + progressAndMarker},
        {"di minimal",
         storable(DeviceInfo{.osVersion = "17.2",
                             .os = "iOS",
                             .manufacturer = "Apple",
                             .model = "iPhone15,2",
                             .timeZoneOffset = -18000,
                             .isLimitAdTrackingEnabled = true,
                             .uuid = "U-1"}),
         R"({"code":"di","timestamp":1700000000123,"osVersion":"17.2","os":"iOS",)"
         R"("manufacturer":"Apple","model":"iPhone15,2","timeZoneOffset":-18000,)"
         R"("isLimitAdTrackingEnabled":true,"uuid":"U-1"})"},
        {"di full",
         storable(DeviceInfo{.osVersion = "17.2",
                             .os = "iOS",
                             .displayPpi = 460,
                             .displayResolution = "1179x2556",
                             .displayDiagonal = DeviceInfo::roundedDiagonal(5.8123456),
                             .manufacturer = "Apple",
                             .model = "iPhone15,2",
                             .timeZoneOffset = 3600,
                             .isLimitAdTrackingEnabled = false,
                             .idfv = "V-1",
                             .idfa = "A-1",
                             .uuid = "U-1",
                             .sandboxState = 1}),
         R"({"code":"di","timestamp":1700000000123,"osVersion":"17.2","os":"iOS",)"
         R"("displayPpi":460,"displayResolution":"1179x2556","displayDiagonal":5.81235,)"
         R"("manufacturer":"Apple","model":"iPhone15,2","timeZoneOffset":3600,)"
         R"("isLimitAdTrackingEnabled":false,"idfv":"V-1","idfa":"A-1","uuid":"U-1",)"
         R"("sandboxState":1})"},
        {"tr minimal", storable(Tutorial{.sessionId = session, .level = 1, .step = 0}),
         head("tr") + R"(,"level":1,"step":0})"},
        {"tr full",
         storable(Tutorial{.sessionId = session,
                           .level = 1,
                           .step = 4,
                           .inProgress = forest,
                           .inExperiments = "x"}),
         head("tr") + R"(,"level":1,"step":4,)" + progressAndMarker},
        {"rp minimal",
         storable(RealCurrencyPayment{.sessionId = session,
                                      .level = 2,
                                      .productId = "gems100",
                                      .orderId = "T-1",
                                      .price = 4.99,
                                      .currencyCode = "USD"}),
         head("rp") +
             R"(,"level":2,"productId":"gems100","orderId":"T-1","price":4.99,"currencyCode":"USD"})"},
        {"rp full",
         storable(RealCurrencyPayment{.sessionId = session,
                                      .level = 2,
                                      .productId = "gems100",
                                      .orderId = "T-1",
                                      .price = 100,
                                      .currencyCode = "JPY",
                                      .inProgress = forest,
                                      .inExperiments = "x"}),
         head("rp") +
             R"(,"level":2,"productId":"gems100","orderId":"T-1","price":100.0,"currencyCode":"JPY",)" +
             progressAndMarker},
        {"vp minimal",
         storable(VirtualCurrencyPayment{.sessionId = session,
                                         .level = 2,
                                         .purchaseId = "sword",
                                         .purchaseAmount = 1,
                                         .purchasePrice = {},
                                         .purchaseType = "weapon"}),
         head("vp") +
             R"(,"level":2,"purchaseId":"sword","purchaseAmount":1,"purchasePrice":{},"purchaseType":"weapon"})"},
        {"vp full",
         storable(VirtualCurrencyPayment{.sessionId = session,
                                         .level = 2,
                                         .purchaseId = "sword",
                                         .purchaseAmount = 2,
                                         .purchasePrice = {{"gold", 10}, {"gems", 2}},
                                         .purchaseType = "weapon",
                                         .inProgress = forest,
                                         .inExperiments = "x"}),
         head("vp") +
             R"(,"level":2,"purchaseId":"sword","purchaseAmount":2,"purchasePrice":{"gems":2,"gold":10},)"
             R"("purchaseType":"weapon",)" +
             progressAndMarker},
        {"ca minimal", storable(CurrencyAccrual{.sessionId = session, .level = 2}),
         head("ca") + R"(,"level":2})"},
        {"ca full",
         storable(CurrencyAccrual{
             .timestamp = 1'600'000'000'000,
             .sessionId = session,
             .level = 2,
             .earned = CurrencyAccrual::AccrualsBySource{{"quest", {{"gold", 5}, {"gems", 1}}},
                                                         {"chest", {{"gold", 2}}}},
             .bought = CurrencyAccrual::AccrualsBySource{{"store", {{"gems", 100}}}},
             .inExperiments = "x"}),
         R"({"code":"ca","timestamp":1600000000000,"sessionId":1699999000000,"level":2,)"
         R"("earned":{"chest":{"gold":2},"quest":{"gems":1,"gold":5}},)"
         R"("bought":{"store":{"gems":100}},"inExperiments":"x"})"},
        {"cb minimal", storable(CurrentBalance{.sessionId = session, .level = 2, .balance = {}}),
         head("cb") + R"(,"level":2,"balance":{}})"},
        {"cb full",
         storable(CurrentBalance{
             .sessionId = session, .level = 2, .balance = {{"gold", 7}}, .inExperiments = "x"}),
         head("cb") + R"(,"level":2,"balance":{"gold":7},"inExperiments":"x"})"},
        {"lu minimal", storable(LevelUp{.sessionId = session, .level = 5}),
         head("lu") + R"(,"level":5})"},
        {"lu full",
         storable(LevelUp{.sessionId = session,
                          .level = 4,
                          .balance = Amounts{{"gold", 70}},
                          .spent = Amounts{{"gold", 10}},
                          .earned = Amounts{{"gold", 50}, {"gems", 1}},
                          .bought = Amounts{{"gems", 100}},
                          .inProgress = forest,
                          .inExperiments = "x"}),
         head("lu") +
             R"(,"level":4,"balance":{"gold":70},"spent":{"gold":10},"earned":{"gems":1,"gold":50},)"
             R"("bought":{"gems":100},)" +
             progressAndMarker},
        {"ce minimal",
         storable(CustomEvent{
             .sessionId = session, .level = 2, .name = "boss", .parameters = AnyCodable::Object{}}),
         head("ce") + R"(,"level":2,"name":"boss"})"},
        {"ce full",
         storable(CustomEvent{
             .sessionId = session,
             .level = 2,
             .name = "boss",
             .parameters = AnyCodable::Object{{"k", true}, {"n", 5}, {"d", 1.5}, {"s", "v"}},
             .inProgress = forest,
             .inExperiments = "x"}),
         head("ce") + R"(,"level":2,"name":"boss","parameters":{"k":true,"n":5,"d":1.5,"s":"v"},)" +
             progressAndMarker},
        {"pe minimal",
         storable(ProgressionEvent{
             .sessionId = session, .level = 2, .name = "Forest", .parameters = {.success = false}}),
         head("pe") + R"(,"level":2,"name":"Forest","parameters":{"success":false}})"},
        {"pe full",
         storable(ProgressionEvent{.sessionId = session,
                                   .level = 2,
                                   .name = "Forest",
                                   .spent = Amounts{{"arrows", 12}},
                                   .earned = Amounts{{"gold", 40}},
                                   .parameters = finished,
                                   .inExperiments = "x"}),
         head("pe") + R"(,"level":2,"name":"Forest","spent":{"arrows":12},"earned":{"gold":40},)"
                      R"("parameters":{"success":true,"duration":3,"difficulty":2,"source":"map"},)"
                      R"("inExperiments":"x"})"},
        {"sc minimal",
         storable(SocialNetworkConnect{.sessionId = session, .level = 2, .socialNetwork = "vk"}),
         head("sc") + R"(,"level":2,"socialNetwork":"vk"})"},
        {"sc full",
         storable(SocialNetworkConnect{.sessionId = session,
                                       .level = 2,
                                       .socialNetwork = "vk",
                                       .inProgress = forest,
                                       .inExperiments = "x"}),
         head("sc") + R"(,"level":2,"socialNetwork":"vk",)" + progressAndMarker},
        {"sp minimal",
         storable(SocialNetworkPost{
             .sessionId = session, .level = 2, .socialNetwork = "fb", .postReason = "win"}),
         head("sp") + R"(,"level":2,"socialNetwork":"fb","postReason":"win"})"},
        {"sp full",
         storable(SocialNetworkPost{.sessionId = session,
                                    .level = 2,
                                    .socialNetwork = "fb",
                                    .postReason = "win",
                                    .inProgress = forest,
                                    .inExperiments = "x"}),
         head("sp") + R"(,"level":2,"socialNetwork":"fb","postReason":"win",)" + progressAndMarker},
        {"rf minimal", storable(Referral{.sessionId = session}), head("rf") + "}"},
        {"rf full",
         storable(Referral{.sessionId = session,
                           .source = "ads",
                           .campaign = "spring",
                           .content = "banner",
                           .medium = "cpc",
                           .term = "rpg",
                           .inProgress = forest,
                           .inExperiments = "x"}),
         head("rf") +
             R"(,"source":"ads","campaign":"spring","content":"banner","medium":"cpc","term":"rpg",)" +
             progressAndMarker},
        {"adrv minimal",
         storable(AdImpression{.sessionId = session, .network = "net", .revenue = 0.25}),
         head("adrv") + R"(,"source":"sdk","ad_network":"net","revenue":0.25})"},
        {"adrv full",
         storable(AdImpression{.sessionId = session,
                               .network = "net",
                               .revenue = 0.25,
                               .placement = "menu",
                               .unit = "u-7",
                               .inProgress = forest,
                               .inExperiments = "x"}),
         head("adrv") +
             R"(,"source":"sdk","ad_network":"net","placement":"menu","ad_unit":"u-7","revenue":0.25,)" +
             progressAndMarker},
        {"pl minimal (cleared card)", storable(PeopleEvent{.sessionId = session, .level = 2}),
         head("pl") + R"(,"level":2,"parameters":null})"},
        {"pl full",
         storable(PeopleEvent{.sessionId = session,
                              .level = 2,
                              .parameters = card,
                              .inProgress = forest,
                              .inExperiments = "x"}),
         head("pl") +
             R"(,"level":2,"parameters":{"age":30,"email":null,"gender":2,"name":"Ann","score":1.5,)"
             R"("vip":true},)" +
             progressAndMarker},
        {"ch minimal", storable(CheaterMark{.sessionId = session, .level = 2, .cheater = false}),
         head("ch") + R"(,"level":2,"cheater":false})"},
        {"ch full",
         storable(
             CheaterMark{.sessionId = session, .level = 2, .cheater = true, .inExperiments = "x"}),
         head("ch") + R"(,"level":2,"cheater":true,"inExperiments":"x"})"},
        {"tstr minimal", storable(TesterMark{.sessionId = session, .level = 2, .tester = false}),
         head("tstr") + R"(,"level":2,"tester":false})"},
        {"tstr full",
         storable(
             TesterMark{.sessionId = session, .level = 2, .tester = true, .inExperiments = "x"}),
         head("tstr") + R"(,"level":2,"tester":true,"inExperiments":"x"})"},
        {"pt minimal", storable(PushToken{.sessionId = session, .isAllowed = false, .token = ""}),
         head("pt") + R"(,"isAllowed":false,"token":""})"},
        {"pt full",
         storable(PushToken{
             .sessionId = session, .isAllowed = true, .token = "f00d", .inExperiments = "x"}),
         head("pt") + R"(,"isAllowed":true,"token":"f00d","inExperiments":"x"})"},
        {"po minimal", storable(PushOpened{.timestamp = 1'600'000'000'000, .pushId = 7}),
         R"({"code":"po","timestamp":1600000000000,"pushId":7})"},
        {"po full",
         storable(PushOpened{.timestamp = 1'600'000'000'000,
                             .sessionId = session,
                             .pushId = 7,
                             .button = "open",
                             .inExperiments = "x"}),
         R"({"code":"po","timestamp":1600000000000,"sessionId":1699999000000,"pushId":7,)"
         R"("button":"open","inExperiments":"x"})"},
        {"sbs minimal",
         storable(SubscriptionPayment{.sessionId = session,
                                      .level = 2,
                                      .orderId = "T-9",
                                      .productId = "month",
                                      .regionCode = "",
                                      .currencyCode = ""}),
         head("sbs") +
             R"(,"level":2,"orderId":"T-9","productId":"month","regionCode":"","currencyCode":""})"},
        {"sbs full",
         storable(SubscriptionPayment{.sessionId = session,
                                      .level = 2,
                                      .orderId = "T-9",
                                      .productId = "month",
                                      .regionCode = "US",
                                      .currencyCode = "USD",
                                      .inProgress = forest,
                                      .inExperiments = "x"}),
         head("sbs") +
             R"(,"level":2,"orderId":"T-9","productId":"month","regionCode":"US","currencyCode":"USD",)" +
             progressAndMarker},
        {"sbsp minimal", storable(SubscriptionProductsEvent{.sessionId = session, .products = {}}),
         head("sbsp") + R"(,"products":[]})"},
        {"sbsp full",
         storable(SubscriptionProductsEvent{
             .sessionId = session,
             .products =
                 {{.productId = "month", .price = 4.99, .regionCode = "US", .currencyCode = "USD"},
                  yearly()},
             .inExperiments = "x"}),
         head("sbsp") +
             R"(,"products":[{"productId":"month","price":4.99,"regionCode":"US","currencyCode":"USD"},)"
             R"({"productId":"year","price":39.99,"regionCode":"DE","currencyCode":"EUR",)"
             R"("introductoryPrice":0.99,"discounts":{"a":1.5,"b":2.0}}],"inExperiments":"x"})"},
        {"sbsr minimal",
         storable(RestoredTransactionsEvent{
             .sessionId = session, .currencyCode = "USD", .transactions = {}}),
         head("sbsr") + R"(,"currencyCode":"USD","transactions":[]})"},
        {"sbsr full",
         storable(RestoredTransactionsEvent{
             .sessionId = session,
             .currencyCode = "USD",
             .transactions = {{.productID = "month", .transactionIds = {"T-1", "T-2"}}},
             .inExperiments = "x"}),
         head("sbsr") +
             R"(,"currencyCode":"USD","transactions":[{"productID":"month","transactionIds":["T-1","T-2"]}],)"
             R"("inExperiments":"x"})"},
    };
}

// Keys that a code must not carry, whatever its builder passes.
const std::map<std::string, Strings> neverCarried = {
    {"ss", {}},
    {"ue", {}},
    {"al", {"level", "inProgress"}},
    {"ts", {"sessionId", "level"}},
    {"di", {"sessionId", "level", "inProgress", "inExperiments"}},
    {"tr", {}},
    {"rp", {}},
    {"vp", {}},
    {"ca", {"inProgress"}},
    {"cb", {"inProgress"}},
    {"lu", {}},
    {"ce", {}},
    {"pe", {"inProgress"}},
    {"sc", {}},
    {"sp", {}},
    {"rf", {"level"}},
    {"adrv", {"level", "network", "unit"}},
    {"pl", {}},
    {"ch", {"inProgress"}},
    {"tstr", {"inProgress"}},
    {"pt", {"level", "inProgress"}},
    {"po", {"level", "inProgress"}},
    {"sbs", {}},
    {"sbsp", {"level", "inProgress"}},
    {"sbsr", {"level", "inProgress"}},
};

std::string codeOf(const Row& row) {
    return row.name.substr(0, row.name.find(' '));
}

class EventRecordsTest : public test::StorageTest {
  protected:
    EventRecordsTest() { Clock::install(clock_); }
    ~EventRecordsTest() override { Clock::install(nullptr); }

    std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>(now);
};

TEST_F(EventRecordsTest, TheTableCoversEveryCodeWithAMinimalAndAFullRow) {
    std::map<std::string, int> rowsPerCode;
    for (const auto& row : rows()) {
        ++rowsPerCode[codeOf(row)];
    }
    std::set<std::string> codes;
    for (auto code : EventCode::all) {
        codes.emplace(code);
        EXPECT_EQ(rowsPerCode[std::string(code)], 2) << code;
        EXPECT_TRUE(neverCarried.contains(std::string(code))) << code;
    }
    EXPECT_EQ(rowsPerCode.size(), 25u);
    EXPECT_EQ(neverCarried.size(), 25u);
}

TEST_F(EventRecordsTest, EachRecordWritesItsGoldenText) {
    for (const auto& row : rows()) {
        SCOPED_TRACE(row.name);
        LogCapture log;
        const std::string text = row.event->getJson();
        EXPECT_EQ(text, row.golden);
        EXPECT_TRUE(log.messages().empty());

        const auto json = nlohmann::json::parse(text, nullptr, false);
        ASSERT_TRUE(json.is_object());
        EXPECT_EQ(row.event->code(), codeOf(row));
        EXPECT_EQ(json["code"], row.event->code());
        for (const auto& key : neverCarried.at(codeOf(row))) {
            EXPECT_FALSE(json.contains(key)) << key;
        }
        for (const auto& [key, value] : json.items()) {
            EXPECT_FALSE(value.is_null() && !(codeOf(row) == "pl" && key == "parameters"))
                << key << " is null";
        }
    }
}

// The records whose debug text leaves the one-line-per-field pattern.
TEST_F(EventRecordsTest, DebugTextsOfDictionariesListsAndReorderedFields) {
    const std::map<std::string, std::string> expected = {
        {"di full",
         "\t code: di\n\t timestamp: 1700000000123\n\t osVersion: 17.2\n\t os: iOS\n"
         "\t displayPpi: 460\n\t displayResolution: 1179x2556\n\t displayDiagonal: 5.81235\n"
         "\t manufacturer: Apple\n\t model: iPhone15,2\n\t timeZoneOffset: 3600\n"
         "\t sandboxState: 1\n\t isLimitAdTrackingEnabled: false\n\t idfv: V-1\n\t idfa: A-1\n"
         "\t uuid: U-1\n"},
        {"vp full",
         "\t code: vp\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n\t level: 2\n"
         "\t purchaseId: sword\n\t purchaseAmount: 2\n\t purchasePrice: \n"
         "\t\t currency: gems price: 2\n\t\t currency: gold price: 10\n"
         "\t purchaseType: weapon\n\t inProgress: [\"Forest\"]\n\t inExperiments: x\n"},
        {"vp minimal",
         "\t code: vp\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n\t level: 2\n"
         "\t purchaseId: sword\n\t purchaseAmount: 1\n\t purchaseType: weapon\n"},
        {"ca full",
         "\t code: ca\n\t timestamp: 1600000000000\n\t sessionId: 1699999000000\n\t level: 2\n"
         "\t earned: \n\t\tsource: chest \n\t\tresources:\n\t\t\tresource: gold amount: 2\n"
         "\t\tsource: quest \n\t\tresources:\n\t\t\tresource: gems amount: 1\n"
         "\t\t\tresource: gold amount: 5\n"
         "\t bought: \n\t\tsource: store \n\t\tresources:\n\t\t\tresource: gems amount: 100\n"
         "\t inExperiments: x\n"},
        {"ce full",
         "\t code: ce\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n\t level: 2\n"
         "\t name: boss\n\t parameters: \n\t\t parameter key: k value: true\n"
         "\t\t parameter key: n value: 5\n\t\t parameter key: d value: 1.5\n"
         "\t\t parameter key: s value: v\n\t inProgress: [\"Forest\"]\n\t inExperiments: x\n"},
        {"pe full",
         "\t code: pe\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n\t level: 2\n"
         "\t name: Forest\n\t spent: \n\t\t resource: arrows amount: 12\n"
         "\t earned: \n\t\t resource: gold amount: 40\n\t parameters:\n\t\t success: true\n"
         "\t\t duration: 3\n\t\t difficulty: 2\n\t\t source: map\n\t inExperiments: x\n"},
        {"adrv full",
         "\t code: adrv\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n"
         "\t network: net\n\t revenue: 0.25\n\t source: sdk\n\t placement: menu\n\t unit: u-7\n"
         "\t inProgress: [\"Forest\"]\n\t inExperiments: x\n"},
        {"pl full",
         "\t code: pl\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n\t level: 2\n"
         "\t parameters: \n\t\t parameter key: age value: 30\n"
         "\t\t parameter key: email value: <null>\n\t\t parameter key: gender value: Female\n"
         "\t\t parameter key: name value: Ann\n\t\t parameter key: score value: 1.5\n"
         "\t\t parameter key: vip value: true\n\t inProgress: [\"Forest\"]\n\t inExperiments: x\n"},
        {"po minimal", "\t code: po\n\t timestamp: 1600000000000\n\t pushId: 7\n"},
        {"sbs full",
         "\t code: sbs\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n\t level: 2\n"
         "\t productId: month\n\t orderId: T-9\n\t regionCode: US\n\t currencyCode: USD\n"
         "\t inProgress: [\"Forest\"]\n\t inExperiments: x\n"},
        {"sbsp full",
         "\t code: sbsp\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n"
         "\t products: \n\t\t product 0 \n\t\t\t productId: month\n\t\t\t price: 4.99\n"
         "\t\t\t regionCode: US\n\t\t\t currencyCode: USD\n\t\t product 1 \n"
         "\t\t\t productId: year\n\t\t\t price: 39.99\n\t\t\t regionCode: DE\n"
         "\t\t\t currencyCode: EUR\n\t\t\t introductoryPrice: 0.99\n\t\t\t discounts: \n"
         "\t\t\t\t a: 1.5\n\t\t\t\t b: 2\n\n\t inExperiments: x\n"},
        {"sbsp minimal",
         "\t code: sbsp\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n"},
        {"sbsr full",
         "\t code: sbsr\n\t timestamp: 1700000000123\n\t sessionId: 1699999000000\n"
         "\t currencyCode: USD\n\t transactions: \n\t\t product month \n"
         "\t\t transactionIds: \n \t\t\t T-1 \n\t\t\t T-2 \n\t inExperiments: x\n"},
    };
    std::size_t checked = 0;
    for (const auto& row : rows()) {
        if (auto it = expected.find(row.name); it != expected.end()) {
            EXPECT_EQ(row.event->description(), it->second) << row.name;
            ++checked;
        }
    }
    EXPECT_EQ(checked, expected.size());
}

TEST_F(EventRecordsTest, TimestampIsTheClockUnlessTheBuilderGivesOne) {
    clock_->setWallClock(1'062);  // a reading of 1.0624 s rounds down
    EXPECT_EQ(Alive{.sessionId = 1}.timestamp, 1'062);
    clock_->setWallClock(now);
    for (const auto& row : rows()) {
        const auto json = nlohmann::json::parse(row.event->getJson(), nullptr, false);
        const std::string code = codeOf(row);
        if (code == "ss") {
            EXPECT_EQ(json["timestamp"], json["sessionId"]);
        } else if (code == "po" || row.name == "ca full") {
            EXPECT_EQ(json["timestamp"], 1'600'000'000'000) << row.name;
        } else {
            EXPECT_EQ(json["timestamp"], now) << row.name;
        }
    }
}

TEST_F(EventRecordsTest, EveryRecordSurvivesTheEventsTable) {
    SQLiteProvider database("app-key");
    const auto table = rows();
    for (const auto& row : table) {
        const EventObject object(row.event->code(), -1, 7, row.event->getJson());
        ASSERT_TRUE(database.insert(
            "events",
            {{"code", object.code}, {"userId", object.userId}, {"eventJson", object.json}}));
    }
    const auto stored = query<EventObject>(database, {.tableName = "events"}).value();
    ASSERT_EQ(stored.size(), table.size());
    for (std::size_t index = 0; index < table.size(); ++index) {
        SCOPED_TRACE(table[index].name);
        EXPECT_EQ(stored[index].code, table[index].event->code());
        EXPECT_EQ(stored[index].userId, 7);
        EXPECT_GT(stored[index].idKey, 0);
        EXPECT_EQ(stored[index].json, table[index].golden);
    }
}

TEST_F(EventRecordsTest, NonFiniteNumbersFailTheWholeRecord) {
    struct Case {
        std::string name;
        std::shared_ptr<Storable> event;
        std::string pointer;
    };
    auto device = [](double diagonal) {
        return storable(DeviceInfo{.osVersion = "17",
                                   .os = "iOS",
                                   .displayDiagonal = diagonal,
                                   .manufacturer = "Apple",
                                   .model = "m",
                                   .timeZoneOffset = 0,
                                   .isLimitAdTrackingEnabled = true,
                                   .uuid = "u"});
    };
    auto payment = [](double price) {
        return storable(RealCurrencyPayment{.sessionId = 1,
                                            .level = 1,
                                            .productId = "p",
                                            .orderId = "o",
                                            .price = price,
                                            .currencyCode = "USD"});
    };
    auto ad = [](double revenue) {
        return storable(AdImpression{.sessionId = 1, .network = "n", .revenue = revenue});
    };
    auto custom = [](double value) {
        return storable(CustomEvent{.sessionId = 1,
                                    .level = 1,
                                    .name = "e",
                                    .parameters = AnyCodable::Object{{"a", 1}, {"b", value}}});
    };
    auto people = [](double value) {
        return storable(PeopleEvent{
            .sessionId = 1, .level = 1, .parameters = PeopleProperties{{"score", value}}});
    };
    auto products = [](double price, double introductory, double discount) {
        return storable(SubscriptionProductsEvent{
            .sessionId = 1,
            .products = {{.productId = "p",
                          .price = price,
                          .regionCode = "",
                          .currencyCode = "",
                          .introductoryPrice = introductory,
                          .discounts = std::map<std::string, double>{{"d", discount}}}}});
    };
    const std::vector<Case> cases = {
        {"di NaN", device(nan), "nan at \"/displayDiagonal\""},
        {"di infinity", device(inf), "inf at \"/displayDiagonal\""},
        {"rp NaN", payment(nan), "nan at \"/price\""},
        {"rp infinity", payment(-inf), "-inf at \"/price\""},
        {"adrv NaN", ad(nan), "nan at \"/revenue\""},
        {"adrv infinity", ad(inf), "inf at \"/revenue\""},
        {"ce NaN", custom(nan), "nan at \"/parameters/b\""},
        {"ce infinity", custom(inf), "inf at \"/parameters/b\""},
        {"pl NaN", people(nan), "nan at \"/parameters/score\""},
        {"pl infinity", people(-inf), "-inf at \"/parameters/score\""},
        {"sbsp NaN price", products(nan, 1, 1), "nan at \"/products/0/price\""},
        {"sbsp infinite price", products(inf, 1, 1), "inf at \"/products/0/price\""},
        {"sbsp NaN introductory price", products(1, nan, 1),
         "nan at \"/products/0/introductoryPrice\""},
        {"sbsp infinite discount", products(1, 1, inf), "inf at \"/products/0/discounts/d\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log(MVKLogLevel::debug);
        EXPECT_EQ(c.event->getJson(), "");
        EXPECT_EQ(log.messages(), Strings{"ERROR When trying to get json string from \n\t[" +
                                          c.event->description() +
                                          "] \n\tobject an error has occurred: The value " +
                                          c.pointer + " is not a valid JSON number"});
    }
}

}  // namespace
}  // namespace mvk
