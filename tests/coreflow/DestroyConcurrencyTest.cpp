#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "coreflow/CoreFlowHarness.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKAntiCheat.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKRemoteConfig.hpp"
#include "mvk/MVKUserCard.hpp"
#include "mvk/UnrealBridge.hpp"
#include "people/PeopleLogicProtocol.hpp"
#include "platform/QueueManager.hpp"
#include "records/MessagingProtocol.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"
#include "support/QuietAnalyticsLogic.hpp"

namespace mvk::test {
namespace {

enum Family { analytics, card, push, families };

/// What the logics of every start-up were handed, and whether one got a call
/// after its core's stop.
struct Tally {
    std::atomic<int> started{0};
    std::atomic<int> stopped{0};
    std::atomic<int> reached[families] = {};
    std::atomic<int> afterStop{0};
};

/// The three logics of one start-up share it; the analytics logic's stop
/// ends it.
struct StartRun {
    explicit StartRun(Tally& tally) : tally(tally) {}
    void reach(Family family) {
        ++tally.reached[family];
        if (stopped) {
            ++tally.afterStop;
        }
    }
    Tally& tally;
    std::atomic<bool> stopped{false};
};

struct CountingAnalytics final : QuietAnalyticsLogic {
    explicit CountingAnalytics(std::shared_ptr<StartRun> run) : run(std::move(run)) {}
    void stopSDK() override {
        run->stopped = true;
        ++run->tally.stopped;
    }
    void customEvent(const std::string&, const std::optional<AnyCodable::Object>&) override {
        run->reach(analytics);
    }
    void levelUp(std::int64_t, const Amounts&) override { run->reach(analytics); }
    void getUserId(const TextCompletion& completion) override {
        run->reach(analytics);
        completion("player");
    }
    void startProgressionEvent(const std::string&,
                               const MVKStartProgressionEventParametersLocal&) override {
        run->reach(analytics);
    }
    void subscriptionPayment(const std::string&, const std::string&) override {
        run->reach(analytics);
    }
    std::shared_ptr<StartRun> run;
};

struct CountingCard final : PeopleLogicProtocol {
    explicit CountingCard(std::shared_ptr<StartRun> run) : run(std::move(run)) {}
    void setValue(const std::string&, const PeopleValueType&) override { run->reach(card); }
    void getValue(const std::string&, const ValueCompletion& completion) override {
        run->reach(card);
        completion(std::nullopt);
    }
    void increment(const std::string&, const PeopleValueType&) override { run->reach(card); }
    void unset(std::vector<std::string>) override { run->reach(card); }
    void clearUser() override { run->reach(card); }
    std::shared_ptr<StartRun> run;
};

struct CountingPush final : MessagingProtocol {
    explicit CountingPush(std::shared_ptr<StartRun> run) : run(std::move(run)) {}
    void pushToken(const std::string&, bool) override { run->reach(push); }
    void pushOpened(std::int64_t, std::int64_t, const std::optional<std::string>&) override {
        run->reach(push);
    }
    void getPushCategories(CategoriesCompletion completion) override {
        run->reach(push);
        completion({});
    }
    std::shared_ptr<StartRun> run;
};

struct QuietListener final : MVKIdentifiersListener {};

/// Puts the calling thread on the first processor this process may use. The
/// hosts then take turns on it and are preempted anywhere inside a call,
/// also between reading what they call and queueing, for whole time slices,
/// while the destroying thread runs elsewhere.
void shareOneProcessor() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) {
        return;
    }
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &allowed)) {
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(cpu, &one);
            pthread_setaffinity_np(pthread_self(), sizeof one, &one);
            return;
        }
    }
}

/// Lets the hosts make one burst of calls per phase, all at once, and tells
/// the destroying thread when the burst is over.
class Phases {
  public:
    explicit Phases(int hosts) : hosts_(hosts) {}

    void open(int phase) {
        std::lock_guard lock(mutex_);
        open_ = phase;
        changed_.notify_all();
    }
    void awaitOpen(int phase) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return open_ >= phase; });
    }
    void finishedBurst() { ++finished_; }
    bool isBurstOver(int phase) const { return finished_.load() >= hosts_ * (phase + 1); }

  private:
    const int hosts_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int open_ = -1;
    std::atomic<int> finished_{0};
};

/// The method texts of the not-initialised lines, per family of logic.
const std::map<std::string, Family> lineFamilies = {
    {"customEvent(_:_:)", analytics},
    {"levelUp(_:_:)", analytics},
    {"getUserId(_:)", analytics},
    {"startProgressionEvent(_:_:)", analytics},
    {"subscriptionPayment(_:_:)", analytics},
    {"set(key:value:)", card},
    {"getValue(key:_:)", card},
    {"increment(key:value:)", card},
    {"pushToken(_:_:)", push},
    {"pushOpened(_:_:_:)", push},
    {"getPushCategories(_:)", push},
};

/// Sixty-four host threads make every kind of public call while another
/// thread destroys and starts the library over and over. Each call that is
/// queued meets a started logic before that logic's stop, or is dropped with
/// the not-initialised line by a core that has none: never after a stop, and
/// never silently. Every handler runs once, and every started logic is
/// stopped.
TEST(DestroyConcurrency, EveryCallRacingDestroyReachesALiveCoreOrSaysItHasNone) {
    CoreFlowHarness h;
    h.application->didBecomeActive();
    Tally tally;
    std::shared_ptr<StartRun> latest;  // only the income queue touches it
    Core::setAnalyticsLogicMakerForTesting(
        [&](ServiceFactoryProtocol&, const std::shared_ptr<LifeCycleRepositoryProtocol>&) {
            ++tally.started;
            latest = std::make_shared<StartRun>(tally);
            return std::make_shared<CountingAnalytics>(latest);
        });
    Core::setCardAndPushLogicMakersForTesting(
        [&](ServiceFactoryProtocol&) { return std::make_shared<CountingCard>(latest); },
        [&](ServiceFactoryProtocol&) { return std::make_shared<CountingPush>(latest); });
    LogCapture log(MVKLogLevel::error);
    testing::internal::CaptureStdout();

    // In each phase a started core takes a burst of calls from every host,
    // while this thread destroys the core under them and the cores after
    // it, and starts one of those again.
    constexpr int threads = 64;
    constexpr int phases = 6;
    constexpr int burst = 64;
    constexpr int callsPerThread = phases * burst;
    std::atomic<int> made[families] = {};
    std::atomic<int> abLines{0};
    std::atomic<int> verifications{0};
    std::atomic<int> verified{0};
    std::vector<std::atomic<int>> answers(threads * callsPerThread);
    auto listener = std::make_shared<QuietListener>();
    Phases gate(threads);
    // Call `i` of host `t`: a getter counts its answers in `answer`.
    const auto call = [&](int t, int i, std::atomic<int>& answer) {
        switch ((i + t) % 16) {
            case 0: {
                MVKCustomEventParameters parameters;
                parameters.addInt("thread", t);
                parameters.addString("step", "s" + std::to_string(i));
                MVKAnalytics::customEvent("level_complete", parameters);
                ++made[analytics];
                break;
            }
            case 1:
                MVKAnalytics::levelUp(i % 50 + 1, {{"gold", i}});
                ++made[analytics];
                break;
            case 2:
                MVKAnalytics::getUserId([&answer](const std::string&) { ++answer; });
                ++made[analytics];
                break;
            case 3:
                MVKAnalytics::startProgressionEvent("stage");
                MVKEngineWrapper::engineSubscriprtionPayment("p", std::to_string(i));
                made[analytics] += 2;
                break;
            case 4:
                MVKUserCard::setString("k", "v");
                MVKUserCard::incrementInt("n", 1);
                made[card] += 2;
                break;
            case 5:
                MVKUserCard::getValue("k", [&answer](const auto&) { ++answer; });
                ++made[card];
                break;
            case 6:
                UnrealBridge::sendPushToken("token", true);
                UnrealBridge::sendPushOpened(1700000000000, i, std::nullopt);
                made[push] += 2;
                break;
            case 7:
                UnrealBridge::getMessagingCategories({});
                ++made[push];
                break;
            case 8:
                ++verifications;
                MVKAntiCheat::verifyPayment("", [&](const MVKVerifyResponse&) { ++verified; });
                break;
            case 9:
                MVKRemoteConfig::applyConfig();
                MVKRemoteConfig::resetConfig();
                abLines += 3;
                break;
            case 10:
                MVKAnalytics::setIdentifiersListener(listener);
                MVKAnalytics::setInitializationCompleteCallback([] {});
                break;
            case 11:
                UnrealBridge::isAnalyticsInited();
                MVKEngineWrapper::enableEditorMode();
                break;
            case 12:
                MVKRemoteConfig::setRemoteConfigWaiting(MVKRemoteConfig::remoteConfigWaiting());
                MVKRemoteConfig::setDefaults({{"volume", MVKRemoteConfigDefault(0.5)}});
                break;
            case 13:
                // A few hosts start the library too, racing the destroys;
                // each start-up costs the queue a whole graph.
                if (t < 4) {
                    MVKAnalytics::initialize("cycle-key");
                }
                break;
            default:
                MVKCustomEventParameters parameters;
                for (int p = 0; p < 20; ++p) {
                    parameters.addInt("p" + std::to_string(p), p);
                }
                MVKAnalytics::customEvent("level_complete", parameters);
                ++made[analytics];
        }
    };

    std::vector<std::thread> hosts;
    for (int t = 0; t < threads; ++t) {
        hosts.emplace_back([&, t] {
            shareOneProcessor();
            for (int phase = 0; phase < phases; ++phase) {
                gate.awaitOpen(phase);
                for (int j = 0; j < burst; ++j) {
                    const int i = phase * burst + j;
                    call(t, i, answers[static_cast<std::size_t>(t * callsPerThread + i)]);
                }
                gate.finishedBurst();
            }
        });
    }
    for (int phase = 0; phase < phases; ++phase) {
        const int before = tally.started.load();
        MVKAnalytics::initialize("cycle-key");
        while (tally.started.load() == before) {
            std::this_thread::yield();
        }
        gate.open(phase);
        for (int cycle = 0; !gate.isBurstOver(phase); ++cycle) {
            if (cycle == 8) {
                MVKAnalytics::initialize("cycle-key");
            }
            MVKEngineWrapper::destroySDK();
        }
        // A host may have started the last core: the next phase starts afresh.
        MVKEngineWrapper::destroySDK();
    }
    for (auto& host : hosts) {
        host.join();
    }
    h.dropCore();
    ASSERT_TRUE(h.drainIncome());
    QueueManager::anticheatQueue().queue().drain(drainLimit());
    testing::internal::GetCapturedStdout();

    int lines[families] = {};
    int verifyLines = 0;
    int otherLines = 0;
    // A burst of dropped calls names a few methods in lines of their own and
    // counts the rest per method in one line.
    const std::regex named(
        R"(In the (.+) method an error has occurred: The SDK is not initialized yet!$)");
    const std::regex counted(
        R"(since the last line an error has occurred: The SDK is not initialized yet! By method: (.+)$)");
    const std::regex perMethod(R"(([^ ,]+) (\d+))");
    for (const auto& message : log.messages()) {
        std::vector<std::pair<std::string, int>> dropped;
        std::smatch match;
        if (message.find("Invalid receipt data.") != std::string::npos) {
            ++verifyLines;
        } else if (std::regex_search(message, match, named)) {
            dropped.emplace_back(match[1], 1);
        } else if (std::regex_search(message, match, counted)) {
            const std::string methods = match[1];
            for (std::sregex_iterator each(methods.begin(), methods.end(), perMethod), end;
                 each != end; ++each) {
                dropped.emplace_back((*each)[1], std::stoi((*each)[2]));
            }
        }
        for (const auto& [method, calls] : dropped) {
            if (lineFamilies.count(method) != 0) {
                lines[lineFamilies.at(method)] += calls;
            } else if (method == "VerifyPayment") {
                verifyLines += calls;
            } else {
                otherLines += calls;
            }
        }
    }
    for (int family = analytics; family < families; ++family) {
        EXPECT_EQ(made[family].load(), tally.reached[family].load() + lines[family])
            << "family " << family << ": calls made, against calls reached and refused";
    }
    EXPECT_EQ(otherLines, abLines.load()) << "the remote-configuration calls, with no A/B logic";
    EXPECT_EQ(verifyLines, verifications.load());
    EXPECT_EQ(verified.load(), verifications.load());
    EXPECT_EQ(tally.afterStop.load(), 0) << "a logic got a call after its core's stop";
    EXPECT_EQ(tally.started.load(), tally.stopped.load()) << "a start-up ran on a retired core";
    EXPECT_GE(tally.started.load(), phases);
    int wrong = 0;
    for (int t = 0; t < threads; ++t) {
        for (int i = 0; i < callsPerThread; ++i) {
            const int kind = (i + t) % 16;
            const auto& answer = answers[static_cast<std::size_t>(t * callsPerThread + i)];
            wrong += answer.load() == (kind == 2 || kind == 5 ? 1 : 0) ? 0 : 1;
        }
    }
    EXPECT_EQ(wrong, 0) << "a getter's handler ran other than once";
}

}  // namespace
}  // namespace mvk::test
