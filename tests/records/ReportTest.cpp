#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "backend/EncodableValue.hpp"
#include "foundation/JsonCoding.hpp"
#include "records/Package.hpp"
#include "records/RecordsTestSupport.hpp"
#include "records/Report.hpp"
#include "records/Reports.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {
namespace {

constexpr const char* uuid = "0C9A3F1E-5B7D-4E2A-9F60-1D2C3B4A5F6E";

Package package(std::vector<std::string> events) {
    return Package{.language = "en",
                   .appVersion = "1.0",
                   .appBuildVersion = "42",
                   .sdkVersion = "2.2.6",
                   .bundle = "com.game",
                   .events = std::move(events)};
}

TEST(ReportTest, BodyHoldsOnlyThePackages) {
    Report report({package({R"({"code":"ce","timestamp":1})"}), package({})}, uuid);
    report.idKey = 5;
    report.userId = 6;
    report.appKey = "key";
    EXPECT_EQ(*toJSONData(Reports{{report}}),
              R"({"reports":[{"packages":[)"
              R"({"language":"en","appVersion":"1.0","appBuildVersion":"42","sdkVersion":"2.2.6",)"
              R"("sdkCodeVersion":10,"bundle":"com.game","engine":"Unreal",)"
              R"("events":[{"code":"ce","timestamp":1}]},)"
              R"({"language":"en","appVersion":"1.0","appBuildVersion":"42","sdkVersion":"2.2.6",)"
              R"("sdkCodeVersion":10,"bundle":"com.game","engine":"Unreal","events":[]}]}]})");
}

TEST(ReportTest, AbsentTextsAreNullAndUnreadableEventsAreLeftOut) {
    Package editor{.sdkVersion = "2.2.6", .bundle = "com.game"};
    auto json = editor.toJson();
    EXPECT_TRUE(json["language"].is_null());
    EXPECT_TRUE(json["appVersion"].is_null());
    EXPECT_TRUE(json["appBuildVersion"].is_null());
    EXPECT_EQ(json["bundle"], "com.game");
    EXPECT_EQ(json["events"], nlohmann::ordered_json::array());

    auto events = package({"", R"({"b":1,"a":2})", "[1]", "{broken", "\xff", R"({"x":null})"})
                      .toJson()["events"];
    EXPECT_EQ(events.dump(), R"([{"b":1,"a":2},{"x":null}])");
}

TEST(ReportTest, PackagesSurviveTheTable) {
    test::MemoryDatabase db;
    db.execute(SQLiteContracts::createTableReports);
    auto first = package({R"({"code":"ce","timestamp":1,"p":{"n":2.5,"s":"é"}})", ""});
    first.language.reset();
    Report report({first, package({})}, uuid);
    report.userId = 3;

    const auto id = db.insert(SQLiteContracts::ReportEntry::tableName, *report.contentValues());
    auto read = db.readStored<Report>(SQLiteContracts::ReportEntry::tableName, id);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->idKey, id);
    EXPECT_EQ(read->userId, 3);
    EXPECT_EQ(read->uuid, uuid);
    EXPECT_EQ(read->packagesJson, report.packagesText());
    EXPECT_FALSE(read->appKey);
    ASSERT_EQ(read->packages().size(), 2u);
    const auto& back = read->packages()[0];
    EXPECT_FALSE(back.language);
    EXPECT_EQ(back.appVersion, "1.0");
    EXPECT_EQ(back.events,
              (std::vector<std::string>{R"({"code":"ce","p":{"n":2.5,"s":"é"},"timestamp":1})"}));
    EXPECT_EQ(read->packages()[1], package({}));
}

TEST(ReportTest, RowReaderColumns) {
    test::MemoryDatabase db;
    EXPECT_FALSE(db.readRow<Report>("SELECT 1, 2, '[]', NULL"));
    EXPECT_FALSE(db.readRow<Report>("SELECT 1, NULL, '[]', 'u'"));
    EXPECT_FALSE(db.readRow<Report>("SELECT 'x', 2, '[]', 'u'"));
    for (auto packages : {"NULL", "'not json'", "'{}'", "7",
                          // one package lacking a required member spoils the list
                          R"('[{"language":null,"appVersion":null,"appBuildVersion":null,)"
                          R"("bundle":null,"sdkVersion":"1","sdkCodeVersion":10},{}]')"}) {
        auto report = db.readRow<Report>(std::string("SELECT 1, 2, ") + packages + ", 'u'");
        ASSERT_TRUE(report) << packages;
        EXPECT_TRUE(report->packages().empty()) << packages;
        EXPECT_EQ(report->uuid, "u");
    }
}

TEST(ReportTest, PackageReaderIsStrict) {
    const auto valid = nlohmann::json::parse(
        R"({"language":null,"appVersion":"1","appBuildVersion":null,"bundle":null,)"
        R"("sdkVersion":"2.2.6","sdkCodeVersion":10.0,"engine":"Other","events":[{"a":1}]})");
    auto read = Package::fromJson(valid);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->engine, "Unreal");
    EXPECT_EQ(read->events, std::vector<std::string>{R"({"a":1})"});

    const std::vector<std::function<void(nlohmann::json&)>> spoilers = {
        [](auto& j) { j.erase("language"); },        [](auto& j) { j.erase("bundle"); },
        [](auto& j) { j["appVersion"] = 1; },        [](auto& j) { j.erase("sdkVersion"); },
        [](auto& j) { j["sdkCodeVersion"] = "10"; }, [](auto& j) { j["events"] = "[]"; },
        [](auto& j) { j["events"] = {1}; },
    };
    for (std::size_t i = 0; i < spoilers.size(); ++i) {
        auto json = valid;
        spoilers[i](json);
        EXPECT_FALSE(Package::fromJson(json)) << i;
    }
}

std::string nested(int depth) {
    return std::string(static_cast<std::size_t>(depth), '[') +
           std::string(static_cast<std::size_t>(depth), ']');
}

// The body written as text must be the very bytes the tree writer gives, for
// every shape a report built here can take.
TEST(ReportTest, BuiltReportsWriteTheTreeWritersBytes) {
    Package editor{.sdkVersion = "2.2.6", .bundle = "com.game"};
    Package noEvents = package({});
    noEvents.events.reset();
    const std::vector<std::pair<const char*, Reports>> cases = {
        {"no reports", Reports{}},
        {"report without packages", Reports{{Report({}, "a")}}},
        {"events of every kind",
         Reports{{Report({package({R"({"b":1,"a":2.5})", "", "[1]", "{broken", "\xff",
                                   R"({"x":null,"s":"é\"\n","n":-0.0,"u":18446744073709551615})"}),
                          editor, noEvents},
                         "b")}}},
        {"two reports",
         Reports{{Report({package({R"({"code":"ce"})"})}, "c"), Report({package({})}, "d")}}},
    };
    for (const auto& [name, reports] : cases) {
        SCOPED_TRACE(name);
        const auto tree = toJSONData(reports);
        ASSERT_TRUE(tree);
        EXPECT_EQ(reports.toJSONText(), tree);
        EXPECT_EQ(EncodableValue(reports).toJSONData(), tree);
        EXPECT_EQ(dumpJson(*EncodableValue(reports).encode()), *tree);
        for (const auto& report : reports.reports) {
            EXPECT_EQ(report.packagesText(), toJSONData(report.packages()));
        }
    }
}

// A stored report goes out as the text it is stored as; one whose text is not
// a sendable array is refused before sending and never sent as a stand-in.
TEST(ReportTest, StoredTextIsSplicedOnlyWhenItIsASendableArray) {
    struct Case {
        const char* name;
        std::string column;  // SQL expression of the packagesJson column
        std::string text;    // what the column holds
        bool sendable;
    };
    const std::string ownForm =
        R"([{"language":null,"appVersion":"1","appBuildVersion":null,"sdkVersion":"2.2.6",)"
        R"("sdkCodeVersion":10,"bundle":null,"engine":"Unreal","events":[{"z":1,"a":[2.5]}]}])";
    std::string manyValues = "[";
    for (int n = 0; n < 150'000; ++n) {
        manyValues += n == 0 ? "0" : ",0";
    }
    manyValues += "]";
    const std::vector<Case> cases = {
        {"own package form, key order kept", "", ownForm, true},
        {"empty array", "", "[]", true},
        {"blanks around the array", "", " [ 1 , 2 ] ", true},
        {"nesting at the bound", "", nested(128), true},
        {"more values than a tree may hold", "", manyValues, true},
        {"nesting past the bound", "", nested(129), false},
        {"not JSON", "", "not json", false},
        {"an object", "", "{}", false},
        {"a number", "", "7", false},
        {"cut short", "", R"([{"a":1})", false},
        {"trailing data", "", "[] []", false},
        {"number out of range", "", "[1e400]", false},
        {"invalid UTF-8", "CAST(X'5B22FF225D' AS TEXT)", "[\"\xff\"]", false},
    };
    test::MemoryDatabase db;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string column = c.column;
        if (column.empty()) {
            column = "'" + c.text + "'";
        }
        auto read = db.readRow<Report>("SELECT 1, 2, " + column + ", 'u'");
        ASSERT_TRUE(read);
        ASSERT_EQ(read->packagesJson, c.text);
        EXPECT_EQ(read->hasSendablePackages(), c.sendable);
        EXPECT_EQ(read->packagesBody().has_value(), c.sendable);
        Reports reports;
        reports.reports.push_back(*read);
        EXPECT_EQ(reports.toJSONText(),
                  R"({"reports":[{"packages":)" + (c.sendable ? c.text : "[]") + "}]}");
    }
}

// Packages are decoded from the stored text only when asked for, and a copy
// of the report answers the same packages.
TEST(ReportTest, StoredPackagesDecodeOnDemandAndCopiesAgree) {
    test::MemoryDatabase db;
    auto read = db.readRow<Report>(
        R"(SELECT 1, 2, '[{"language":"en","appVersion":null,"appBuildVersion":null,)"
        R"("bundle":null,"sdkVersion":"2.2.6","sdkCodeVersion":10,"events":[{"b":1,"a":2}]}]', 'u')");
    ASSERT_TRUE(read);
    const Report copy = *read;
    ASSERT_EQ(read->packages().size(), 1u);
    EXPECT_EQ(copy.packages(), read->packages());
    EXPECT_EQ(read->packages()[0].events, std::vector<std::string>{R"({"a":2,"b":1})"});
    EXPECT_EQ(read->packagesText(), toJSONData(read->packages()));
}

}  // namespace
}  // namespace mvk
