// A short game session through the library's public calls, against a local
// HTTPS gateway started in this process. It prints what the library logs,
// what the gateway received and what the library's database holds afterwards.
//
//   build/default/examples/mvk-demo [--keep]
//
// The data lives in a temporary folder, removed at the end unless --keep.

#include <openssl/evp.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "gateway/CannedAnswers.hpp"
#include "gateway/Gateway.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKRemoteConfig.hpp"
#include "mvk/UnrealBridge.hpp"
// The two test settings: the data folder and the gateway's certificate.
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/URLSessionSettings.hpp"

namespace {

using namespace std::chrono_literals;

std::mutex outputMutex;

void say(const std::string& text) {
    std::lock_guard lock(outputMutex);
    std::cout << text << '\n' << std::flush;
}

void step(const std::string& title) {
    say("\n== " + title);
}

/// Waits until the gateway has had no new request for a moment, so the
/// library's requests (sent from its own queues) have arrived.
void settle(const mvk::gateway::Gateway& gateway) {
    auto count = gateway.requests().size();
    for (auto waited = 0ms; waited < 5000ms; waited += 300ms) {
        std::this_thread::sleep_for(300ms);
        const auto now = gateway.requests().size();
        if (now == count) {
            return;
        }
        count = now;
    }
}

std::string fromBase64(const std::string& text) {
    std::string bytes(text.size(), '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0) {
        return "?";
    }
    bytes.resize(static_cast<std::size_t>(length));
    // EVP_DecodeBlock counts the padding as zero bytes.
    for (auto end = text.rbegin(); end != text.rend() && *end == '='; ++end) {
        bytes.pop_back();
    }
    return bytes;
}

void printRequests(const mvk::gateway::Gateway& gateway) {
    const auto requests = gateway.requests();
    step("What the gateway received: " + std::to_string(requests.size()) + " request(s)");
    if (requests.empty()) {
        say("  (nothing: no part of the library has asked the gateway for anything yet)");
    }
    for (const auto& request : requests) {
        say("  " + request.method + " " + request.path + "?" + request.query);
        for (const auto& [name, value] : request.headers) {
            const bool encoded = name == "DeviceId" || name == "PreviousDeviceId" ||
                                 name == "UserId" || name == "PreviousUserId";
            say("    " + name + ": " + value +
                (encoded ? "   (base64 of \"" + fromBase64(value) + "\")" : ""));
        }
        const auto body = nlohmann::json::parse(request.body, nullptr, false);
        say("    body: " + (body.is_discarded() ? request.body : body.dump()));
    }
}

/// Each report the gateway received, one line per event: its code, session
/// id and level, so a session can be followed from "ss" to "ue".
void printReports(const mvk::gateway::Gateway& gateway) {
    const auto reports = gateway.requests("/v2/analytics/report");
    step("The reports: " + std::to_string(reports.size()) + " request(s)");
    int number = 0;
    for (const auto& request : reports) {
        say("  report request " + std::to_string(++number));
        const auto body = nlohmann::json::parse(request.body, nullptr, false);
        if (!body.is_object()) {
            say("    (body is not JSON)");
            continue;
        }
        for (const auto& report : body.value("reports", nlohmann::json::array())) {
            for (const auto& package : report.value("packages", nlohmann::json::array())) {
                for (const auto& event : package.value("events", nlohmann::json::array())) {
                    const auto field = [&](const char* key) {
                        return event.contains(key) ? event[key].dump() : std::string("-");
                    };
                    say("    " + event.value("code", std::string("?")) +
                        "  sessionId=" + field("sessionId") + "  level=" + field("level"));
                }
            }
        }
    }
}

int printTable(sqlite3* db, const std::string& table) {
    sqlite3_stmt* statement = nullptr;
    const std::string sql = "SELECT * FROM \"" + table + "\"";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        return 0;
    }
    int rows = 0;
    std::vector<std::string> lines;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        ++rows;
        std::string line = "    ";
        for (int column = 0; column < sqlite3_column_count(statement); ++column) {
            const auto* text = sqlite3_column_text(statement, column);
            line += std::string(column ? ", " : "") + sqlite3_column_name(statement, column) + "=" +
                    (text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        lines.push_back(line);
    }
    sqlite3_finalize(statement);
    say("  " + table + ": " + std::to_string(rows) + " row(s)");
    for (const auto& line : lines) {
        say(line.size() > 400 ? line.substr(0, 400) + " ..." : line);
    }
    return rows;
}

void printDatabase(const std::filesystem::path& file) {
    step("What the database holds (" + file.string() + ")");
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        say("  (no database: start-up did not get that far)");
        sqlite3_close(db);
        return;
    }
    std::vector<std::string> tables;
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                       "'sqlite_%' ORDER BY rowid",
                       -1, &statement, nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    int empty = 0;
    for (const auto& table : tables) {
        sqlite3_stmt* count = nullptr;
        const std::string sql = "SELECT COUNT(*) FROM \"" + table + "\"";
        sqlite3_prepare_v2(db, sql.c_str(), -1, &count, nullptr);
        const bool hasRows = sqlite3_step(count) == SQLITE_ROW && sqlite3_column_int(count, 0) > 0;
        sqlite3_finalize(count);
        if (hasRows) {
            printTable(db, table);
        } else {
            ++empty;
        }
    }
    say("  (" + std::to_string(empty) + " more table(s), all empty)");
    sqlite3_close(db);
}

/// Prints what the library tells the game about its experiments.
class PrintingListener final : public mvk::MVKRemoteConfigListener {
  public:
    void onReceivedResult(mvk::MVKRemoteConfigReceiveResult result) override {
        say("  [game] experiments configuration received: " +
            std::string(mvk::description(result)));
    }
    void onPrepareToChange() override { say("  [game] an experiment fits; a group is asked for"); }
    void onChangedResult(mvk::MVKRemoteConfigChangeResult result,
                         const std::optional<std::string>& error) override {
        say("  [game] the group's configuration: " + std::string(mvk::description(result)) +
            (error ? " (" + *error + ")" : ""));
    }
};

void printRemoteValues() {
    for (const auto& [key, value] : mvk::MVKRemoteConfig::config()->getRawConfig()) {
        say("  " + key + ": " + value->description());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool keep = argc > 1 && std::string(argv[1]) == "--keep";
    const auto dataDirectory =
        std::filesystem::temp_directory_path() /
        ("mvk-demo-" + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()));

    step("Starting a local HTTPS gateway with canned answers");
    mvk::gateway::Gateway gateway;
    for (auto& [path, answer] : mvk::gateway::cannedAnswers()) {
        gateway.setAnswer(path, std::move(answer));
    }
    // One experiment that every player fits, offering group "B".
    gateway.setAnswer(
        "/v2/remoteconfig/experiments",
        mvk::gateway::ScriptedAnswer::json(
            200, R"({"version":1,"userProperties":{},"experiments":[{"id":7,"creationDate":1,)"
                 R"("updateDate":1,"completionDate":0,"isTesting":false,"conditions":[],)"
                 R"("parameters":[{"key":"speed","values":{"A":"1.5","B":"2.5"}}]}]})"));
    gateway.setAnswer("/v2/remoteconfig/offer",
                      mvk::gateway::ScriptedAnswer::json(
                          200, R"({"involvedExperiments":[{"id":7,"group":"B"}]})"));
    say("  listening on " + gateway.baseUrl());

    // Test settings, before the first call: trust the gateway's own
    // certificate and keep the data in a fresh folder.
    mvk::URLSessionSettings::setCaPem(gateway.caPem());
    mvk::ApplicationSupportDirectory::setOverride(dataDirectory);
    say("  data folder " + dataDirectory.string());

    step("The game configures the library");
    mvk::MVKEngineWrapper::setEngineLoggerMessageClosure(
        [](mvk::MVKLogLevel, const std::string& line) { say("  [library] " + line); });
    mvk::MVKAnalytics::setTestProxyUrl(gateway.baseUrl());
    mvk::MVKAnalytics::setInitializationCompleteCallback(
        [] { say("  [game] the library says start-up is complete"); });
    mvk::MVKApplication::setBundleName("DemoGame");
    mvk::MVKApplication::setBundleIdentifier("com.example.demogame");
    mvk::MVKApplication::setVersion("1.0.0");
    mvk::MVKApplication::setBuildVersion("100");

    step(
        "The game starts the library with its A/B listener: initializeWithAbTest(\"demo-app-key\", "
        "user \"player-1\", level 3)");
    mvk::MVKAnalyticsConfiguration configuration;
    configuration.setLogLevel(mvk::MVKLogLevel::debug);
    configuration.setUserId("player-1");
    configuration.setCurrentLevel(3);
    configuration.setTrackingAvailability(mvk::MVKTrackingStatus::enable);
    mvk::MVKRemoteConfig::setDefaults(
        {{"speed", 1.0}, {"title", std::string("Classic")}, {"hardMode", false}});
    say("  default remote values:");
    printRemoteValues();
    mvk::MVKAnalytics::initializeWithAbTest("demo-app-key", configuration,
                                            std::make_shared<PrintingListener>());
    say("  isAnalyticsInited: " +
        std::string(mvk::UnrealBridge::isAnalyticsInited() ? "true" : "false"));
    settle(gateway);

    step("The application becomes active; the player plays for over a second");
    mvk::MVKApplication::didBecomeActive();
    settle(gateway);
    // An engagement event needs a foreground period of a whole second.
    std::this_thread::sleep_for(1200ms);

    step("The game applies the offered remote configuration: applyConfig()");
    mvk::MVKRemoteConfig::applyConfig();
    printRemoteValues();
    say("  (events stored from here on carry the experiment; the analytics calls that store "
        "them come with the analytics logic)");
    settle(gateway);

    step("The player switches away: the application goes to the background");
    mvk::MVKApplication::willResignActive();
    mvk::MVKApplication::didEnterBackground();
    settle(gateway);

    step("The player comes back: the application is active again");
    mvk::MVKApplication::didBecomeActive();
    settle(gateway);

    step("The game shuts the library down: destroySDK()");
    mvk::MVKEngineWrapper::destroySDK();
    // Asking creates a fresh, uninitialised core once the old one is gone.
    for (auto waited = 0ms; mvk::UnrealBridge::isAnalyticsInited() && waited < 5000ms;
         waited += 50ms) {
        std::this_thread::sleep_for(50ms);
    }
    say("  isAnalyticsInited: " +
        std::string(mvk::UnrealBridge::isAnalyticsInited() ? "true" : "false"));
    settle(gateway);
    mvk::MVKEngineWrapper::setEngineLoggerMessageClosure({});

    printRequests(gateway);
    printReports(gateway);
    printDatabase(dataDirectory / "morvanix" / "morvanix.db");

    gateway.stop();
    if (keep) {
        say("\nKept " + dataDirectory.string());
    } else {
        std::error_code ignored;
        std::filesystem::remove_all(dataDirectory, ignored);
    }
    return 0;
}
