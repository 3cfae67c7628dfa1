// A short game session through the library's public calls, against a local
// HTTPS gateway started in this process. It prints what the library logs and
// tells the game, every report the gateway received, the events by code and
// what the library's database holds afterwards.
//
//   build/default/examples/mvk-demo [--keep]
//
// The data lives in a temporary folder, removed at the end unless --keep.
// The demo exits 1 when a step it waits for never comes.

#include <chrono>
#include <cstdint>
#include <ctime>
#include <exception>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Console.hpp"
#include "DatabaseDump.hpp"
#include "PrintingListener.hpp"
#include "ReportPrinter.hpp"
#include "Signal.hpp"
#include "gateway/CannedAnswers.hpp"
#include "gateway/Gateway.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKAntiCheat.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKRemoteConfig.hpp"
#include "mvk/MVKUserCard.hpp"
#include "mvk/UnrealBridge.hpp"
// The two test settings: the data folder and the gateway's certificate.
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/URLSessionSettings.hpp"

namespace {

using namespace std::chrono_literals;
using demo::say;
using demo::step;

constexpr auto kWaitLimit = 10s;
const std::string kReportPath = "/v2/analytics/report";

/// What the demo waited for and never saw; any entry makes the exit code 1.
class Problems {
  public:
    void add(const std::string& problem) {
        say("  !! " + problem);
        std::lock_guard lock(mutex_);
        list_.push_back(problem);
    }
    std::vector<std::string> list() const {
        std::lock_guard lock(mutex_);
        return list_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> list_;
};

Problems problems;

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

void scriptGateway(mvk::gateway::Gateway& gateway) {
    using mvk::gateway::ScriptedAnswer;
    for (auto& [path, answer] : mvk::gateway::cannedAnswers()) {
        gateway.setAnswer(path, std::move(answer));
    }
    // One experiment for every player who reaches the boss fight: group "B"
    // plays faster under a new title.
    gateway.setAnswer(
        "/v2/remoteconfig/experiments",
        ScriptedAnswer::json(
            200, R"({"version":1,"userProperties":{},"experiments":[{"id":7,"creationDate":1,)"
                 R"("updateDate":1,"completionDate":0,"isTesting":false,)"
                 R"("conditions":[{"code":"ce","name":{"==":"boss_fight"}}],)"
                 R"("parameters":[{"key":"speed","values":{"A":"1.5","B":"2.5"}},)"
                 R"({"key":"title","values":{"A":"Classic","B":"Turbo"}}]}]})"));
    gateway.setAnswer(
        "/v2/remoteconfig/offer",
        ScriptedAnswer::json(200, R"({"involvedExperiments":[{"id":7,"group":"B"}]})"));
    gateway.setAnswer("/v2/messaging/config",
                      ScriptedAnswer::json(
                          200, R"({"pushCategories":{"version":2,"categories":[)"
                               R"({"id":"daily_reward","buttons":[{"id":"claim","text":"Claim",)"
                               R"("activationMode":"foreground"}]},)"
                               R"({"id":"friend_invite","buttons":[{"id":"accept","text":"Accept",)"
                               R"("activationMode":"foreground"},{"id":"later","text":"Later",)"
                               R"("activationMode":"background"}]}]}})"));
    gateway.setAnswer("/v2/verify/payment",
                      ScriptedAnswer::json(200, R"({"status":0,"verificationResult":"valid"})"));
}

void printRemoteValues() {
    for (const auto& [key, value] : mvk::MVKRemoteConfig::config()->getRawConfig()) {
        say("  " + key + ": " + value->description());
    }
}

/// The player's run through the first stage, on the game's main thread.
void playStage() {
    mvk::MVKCustomEventParameters start;
    start.addString("mode", "story");
    start.addInt("stage", 1);
    start.addBool("tutorial", false);
    mvk::MVKAnalytics::customEvent("stage_entered", start);

    mvk::MVKStartProgressionEventParameters progression;
    progression.setDifficulty(2);
    progression.setSource("world_map");
    mvk::MVKAnalytics::startProgressionEvent("stage_1", progression);

    mvk::MVKCustomEventParameters kill;
    kill.addString("weapon", "bow");
    kill.addDouble("damage", 12.5);
    mvk::MVKAnalytics::customEvent("enemy_defeated", kill);

    mvk::MVKFinishProgressionEventParameters finish;
    finish.setSuccessfulCompletion(true);
    finish.setDuration(95);
    finish.setSpent({{"energy", 5}});
    finish.setEarned({{"gold", 120}});
    mvk::MVKAnalytics::finishProgressionEvent("stage_1", finish);

    mvk::MVKAnalytics::levelUp(4, {{"gold", 370}, {"gems", 12}});
}

/// The shop and the profile screen, on a second thread of the game.
void shopAndProfile() {
    mvk::MVKAnalytics::currencyAccrual("gold", 120, "stage_1", mvk::MVKAccrualType::earned);
    mvk::MVKAnalytics::currencyAccrual("gems", 10, "starter_pack", mvk::MVKAccrualType::bought);
    mvk::MVKAnalytics::realCurrencyPayment("order-0001", 4.99, "starter_pack", "USD");
    mvk::MVKAnalytics::virtualCurrencyPayment("sword-01", "weapon", 1, 250, "gold");

    mvk::MVKUserCard::setName("Demo Player");
    mvk::MVKUserCard::setAge(27);
    mvk::MVKUserCard::setGender(mvk::MVKGender::female);
    mvk::MVKUserCard::setString("clan", "Wolves");
    mvk::MVKUserCard::setBool("vip", true);
    mvk::MVKUserCard::incrementInt("games_played", 1);
    mvk::MVKUserCard::incrementDouble("hours_played", 0.25);
}

void readUserCard() {
    const auto name = std::make_shared<demo::Signal<std::string>>();
    const auto clan = std::make_shared<demo::Signal<std::string>>();
    mvk::MVKUserCard::getName([name](const std::string& value) { name->set(value); });
    mvk::MVKUserCard::getValue("clan", [clan](const std::optional<mvk::MVKUserCard::Value>& value) {
        const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
        clan->set(text ? *text : std::string("(none)"));
    });
    const auto readName = name->wait(kWaitLimit);
    const auto readClan = clan->wait(kWaitLimit);
    if (!readName || !readClan) {
        problems.add("the user card's getters never answered");
        return;
    }
    say("  user card: name \"" + *readName + "\", clan \"" + *readClan + "\"");
}

void remoteConfigurationStep(const std::shared_ptr<demo::PrintingListener>& listener) {
    step("The player reaches the boss: customEvent(\"boss_fight\") fits the experiment");
    mvk::MVKCustomEventParameters boss;
    boss.addString("boss", "stone_golem");
    mvk::MVKAnalytics::customEvent("boss_fight", boss);
    const auto changed = listener->changed.wait(kWaitLimit);
    if (!changed) {
        problems.add("the listener never heard of the offered group");
        return;
    }

    step("The game applies the offered group's configuration: applyConfig()");
    mvk::MVKRemoteConfig::applyConfig();
    printRemoteValues();

    mvk::MVKCustomEventParameters won;
    won.addInt("hits", 7);
    mvk::MVKAnalytics::customEvent("boss_defeated", won);
    say("  (the events from \"boss_fight\" on carry \"inExperiments\" in their reports)");
}

void pushStep() {
    step("Push messages: the game passes its push token and an opened push");
    mvk::UnrealBridge::sendPushToken("demo-push-token-0001", true);
    const std::int64_t openedAt = std::int64_t{std::time(nullptr)} * 1000;
    mvk::UnrealBridge::sendPushOpened(openedAt, 42, std::string("claim"));

    const auto categories = std::make_shared<demo::Signal<std::vector<std::string>>>();
    mvk::UnrealBridge::getMessagingCategories(
        [categories](const std::vector<std::string>& list) { categories->set(list); });
    const auto received = categories->wait(kWaitLimit);
    if (!received) {
        problems.add("the push categories never arrived");
        return;
    }
    say("  push categories: " + std::to_string(received->size()));
    for (const auto& category : *received) {
        say("    " + category);
    }
}

void receiptStep() {
    step("A receipt check: MVKAntiCheat::verifyPayment(\"ZGVtby1yZWNlaXB0\")");
    const auto verified = std::make_shared<demo::Signal<mvk::MVKVerifyResponse>>();
    mvk::MVKAntiCheat::verifyPayment(
        "ZGVtby1yZWNlaXB0",
        [verified](const mvk::MVKVerifyResponse& response) { verified->set(response); });
    const auto response = verified->wait(kWaitLimit);
    if (!response) {
        problems.add("the receipt verification never completed");
        return;
    }
    say("  receipt: " + response->description());
}

int play(bool keep) {
    const auto dataDirectory =
        std::filesystem::temp_directory_path() /
        ("mvk-demo-" + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()));

    step("Starting a local HTTPS gateway with canned answers");
    mvk::gateway::Gateway gateway;
    scriptGateway(gateway);
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
    const auto started = std::make_shared<demo::Signal<bool>>();
    mvk::MVKAnalytics::setInitializationCompleteCallback([started] {
        say("  [game] the library says start-up is complete");
        started->set(true);
    });
    mvk::MVKApplication::setBundleName("DemoGame");
    mvk::MVKApplication::setBundleIdentifier("com.example.demogame");
    mvk::MVKApplication::setVersion("1.0.0");
    mvk::MVKApplication::setBuildVersion("100");

    step("Remote-configuration defaults and a printing listener");
    mvk::MVKRemoteConfig::setDefaults(
        {{"speed", 1.0}, {"title", std::string("Classic")}, {"hardMode", false}});
    printRemoteValues();
    const auto listener = std::make_shared<demo::PrintingListener>();

    step("initializeWithAbTest(\"demo-app-key\", user \"player-1\", level 3)");
    mvk::MVKAnalyticsConfiguration configuration;
    configuration.setLogLevel(mvk::MVKLogLevel::info);
    configuration.setUserId("player-1");
    configuration.setCurrentLevel(3);
    configuration.setTrackingAvailability(mvk::MVKTrackingStatus::enable);
    mvk::MVKAnalytics::initializeWithAbTest("demo-app-key", configuration, listener);
    mvk::MVKApplication::didBecomeActive();
    if (!started->wait(kWaitLimit)) {
        problems.add("start-up never completed");
    }
    if (!listener->received.wait(kWaitLimit)) {
        problems.add("the experiments configuration never arrived");
    }
    settle(gateway);
    const auto playStarted = std::chrono::steady_clock::now();

    step("The game plays on two threads: a stage on one, the shop and profile on the other");
    std::thread shop(shopAndProfile);
    playStage();
    shop.join();
    readUserCard();

    remoteConfigurationStep(listener);
    pushStep();
    receiptStep();

    // An engagement event needs a foreground period of a whole second.
    std::this_thread::sleep_until(playStarted + 1200ms);
    step("The player switches away: the application goes to the background");
    const auto reportsBefore = gateway.requests(kReportPath).size();
    mvk::MVKApplication::willResignActive();
    mvk::MVKApplication::didEnterBackground();
    if (!gateway.waitForRequests(kReportPath, reportsBefore + 1, kWaitLimit)) {
        problems.add("going to the background sent no report");
    }
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
    gateway.stop();

    const auto requests = gateway.requests();
    step("What the gateway received: " + std::to_string(requests.size()) + " request(s)");
    demo::printRequestList(requests);

    const auto reports = gateway.requests(kReportPath);
    step("The report bodies: " + std::to_string(reports.size()) + " request(s) on " + kReportPath);
    demo::printReportBodies(reports);

    step("The events by code");
    if (demo::printEventCounts(reports) == 0) {
        problems.add("no report carried an event");
    }
    if (demo::countTaggedEvents(reports) == 0) {
        problems.add("no event carried \"inExperiments\"");
    }

    demo::printDatabase(dataDirectory / "morvanix" / "morvanix.db");

    if (keep) {
        say("\nKept " + dataDirectory.string());
    } else {
        std::error_code ignored;
        std::filesystem::remove_all(dataDirectory, ignored);
    }
    const auto found = problems.list();
    if (!found.empty()) {
        step("The demo did not see everything it waited for:");
        for (const auto& problem : found) {
            say("  " + problem);
        }
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool keep = argc > 1 && std::string(argv[1]) == "--keep";
    try {
        return play(keep);
    } catch (const std::exception& error) {
        // The gateway throws when it cannot listen; nothing else here does.
        say(std::string("The demo could not run: ") + error.what());
        return 1;
    }
}
