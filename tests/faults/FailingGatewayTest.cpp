#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "coreflow/LogicFlowFixture.hpp"
#include "gateway/Gateway.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "platform/URLSessionSettings.hpp"
#include "support/LogCapture.hpp"
#include "support/Patience.hpp"

namespace mvk::test {
namespace {

using namespace std::chrono_literals;
using gateway::ScriptedAnswer;

const std::string reportPath = "/v2/analytics/report";
const std::string configPath = "/v2/analytics/config";
const std::string identificationPath = "/v2/analytics/identification";

/// A report timer of 20 s: three passes a minute, and a count that never
/// starts one by itself, so the timers alone decide how often the library
/// may call.
const std::string goodConfiguration =
    R"({"timeForRequest":20000,"countForRequest":1000,"eventParamsCount":20,)"
    R"("sessionTimeout":600000,"aliveTimeout":300000,"userCounting":true,)"
    R"("serverTime":1700000000000})";

/// Short enough that a stalled or dripping gateway costs a test well under a
/// second per request, long enough for a loaded sanitizer build to finish a
/// healthy exchange.
constexpr auto silentTimeout = 400ms;
constexpr auto totalTimeout = 1000ms;
/// What a single step of the manual clock may cost in real time: the queues
/// drained after a request that ran into one of the limits above.
constexpr auto stepBound = 10s;

ScriptedAnswer status(int code, std::string body = "{}") {
    return ScriptedAnswer::json(code, std::move(body));
}

ScriptedAnswer delayed(std::chrono::milliseconds delay) {
    auto answer = status(200);
    answer.delay = delay;
    return answer;
}

ScriptedAnswer cut(int code, std::string body, std::size_t after) {
    auto answer = status(code, std::move(body));
    answer.cutAfterBytes = after;
    return answer;
}

ScriptedAnswer dripping() {
    auto answer = status(200, std::string(4096, ' ') + "{}");
    answer.dripInterval = 50ms;
    return answer;
}

class FailingGateway;

struct FaultCase {
    const char* name;
    /// Standing answers while the gateway fails, by path.
    std::vector<std::pair<std::string, ScriptedAnswer>> answers;
    /// Report requests answered during the fault that the gateway took:
    /// a 200 whose body is damaged still means the events arrived.
    bool faultAccepts = false;
    /// Most requests on each faulted path in one minute of the clock.
    std::size_t perMinute = 4;
    /// Extra breakage and its repair, for faults outside the answers.
    std::function<void(FailingGateway&)> breakIt = {};
    std::function<void(FailingGateway&)> repair = {};
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class FailingGateway : public LogicFlow, public ::testing::WithParamInterface<FaultCase> {
  public:
    void SetUp() override {
        LogicFlow::SetUp();
        URLSessionSettings::setSilentTimeout(silentTimeout);
        URLSessionSettings::setTotalTimeout(totalTimeout);
        URLSessionSettings::setLowSpeedLimit(64, 1s);
        h.gateway().setAnswer(configPath, status(200, goodConfiguration));
    }

    /// The clock moved by `step`, due timers run, then every queue idle.
    void step(std::chrono::milliseconds step) {
        const auto begun = std::chrono::steady_clock::now();
        h.loop->advance(step);
        settle();
        EXPECT_LT(std::chrono::steady_clock::now() - begun, patience(stepBound))
            << "a library thread waited past its limits";
    }

    /// One event the host plays, numbered; the public call must not wait on
    /// the network whatever the gateway does.
    void play() {
        MVKCustomEventParameters parameters;
        parameters.addInt("seq", next_);
        const auto begun = std::chrono::steady_clock::now();
        MVKAnalytics::customEvent("numbered", parameters);
        EXPECT_LT(std::chrono::steady_clock::now() - begun, patience(1s)) << "the host waited";
        ++next_;
    }

    /// The sequence numbers of the numbered events in `requests`, each as
    /// often as it came.
    static std::map<std::int64_t, int> numbers(
        const std::vector<gateway::RecordedRequest>& requests) {
        std::map<std::int64_t, int> seen;
        for (const auto& request : requests) {
            const auto body = nlohmann::json::parse(request.body, nullptr, false);
            for (const auto& report : body.value("reports", nlohmann::json::array())) {
                for (const auto& package : report.value("packages", nlohmann::json::array())) {
                    for (const auto& event : package.value("events", nlohmann::json::array())) {
                        if (event.value("name", "") == "numbered") {
                            ++seen[event["parameters"].value("seq", std::int64_t{-1})];
                        }
                    }
                }
            }
        }
        return seen;
    }

    std::int64_t next_ = 0;
    /// A second gateway whose certificate the library is made to trust.
    std::optional<gateway::Gateway> stranger;
};

TEST_P(FailingGateway, NothingStoredIsLostAndEverythingArrivesOnceAfterRecovery) {
    const auto& c = GetParam();
    LogCapture log(MVKLogLevel::no);
    for (const auto& [path, answer] : c.answers) {
        h.gateway().setAnswer(path, answer);
    }
    if (c.breakIt) {
        c.breakIt(*this);
    }
    start();

    // Five minutes of failure, three events each, the clock in 5 s steps.
    constexpr int minutes = 5;
    std::vector<std::string> paths{reportPath};
    for (const auto& [path, answer] : c.answers) {
        if (path != reportPath) {
            paths.push_back(path);
        }
    }
    std::map<std::string, std::size_t> before;
    for (int minute = 0; minute < minutes; ++minute) {
        for (const auto& path : paths) {
            before[path] = requestCount(path);
        }
        for (int second = 0; second < 60; second += 5) {
            if (second % 20 == 0) {
                play();
            }
            step(5s);
        }
        for (const auto& path : paths) {
            EXPECT_LE(requestCount(path) - before[path], c.perMinute)
                << path << " in minute " << minute;
        }
    }
    for (const auto& [path, answer] : c.answers) {
        EXPECT_GT(requestCount(path), 0u) << path << ": the library kept trying";
    }
    const auto faulted = h.gateway().requests(reportPath);

    h.gateway().clearAnswers();
    h.gateway().setAnswer(configPath, status(200, goodConfiguration));
    if (c.repair) {
        c.repair(*this);
    }
    for (int second = 0; second < 180; second += 5) {
        step(5s);
    }
    MVKAnalytics::sendBufferedEvents();
    settle();

    auto requests = h.gateway().requests(reportPath);
    std::vector<gateway::RecordedRequest> accepted(
        requests.begin() + static_cast<std::ptrdiff_t>(faulted.size()), requests.end());
    if (c.faultAccepts) {
        accepted.insert(accepted.end(), faulted.begin(), faulted.end());
    }
    const auto arrived = numbers(accepted);
    std::vector<std::int64_t> missing;
    std::vector<std::int64_t> twice;
    for (std::int64_t seq = 0; seq < next_; ++seq) {
        const auto found = arrived.find(seq);
        if (found == arrived.end()) {
            missing.push_back(seq);
        } else if (found->second > 1) {
            twice.push_back(seq);
        }
    }
    EXPECT_EQ(next_, minutes * 3);
    EXPECT_TRUE(missing.empty()) << missing.size() << " lost, first " << missing.front();
    EXPECT_TRUE(twice.empty()) << twice.size() << " twice, first " << twice.front();
    EXPECT_EQ(arrived.size(), static_cast<std::size_t>(next_)) << "nothing unknown arrived";
    EXPECT_TRUE(h.columnTexts("events", "eventJson").empty()) << "nothing left behind";
    EXPECT_TRUE(h.columnTexts("reports", "id").empty()) << "nothing left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailingGateway,
    ::testing::Values(
        FaultCase{"Status500ForMinutes", {{reportPath, status(500)}}},
        FaultCase{"Status503ForMinutes",
                  {{reportPath,
                    [] {
                        auto answer = status(503, "");
                        answer.headers = {{"Retry-After", "0"}};
                        return answer;
                    }()}}},
        FaultCase{"Accepted202WithRetryAfter", {{reportPath, status(202, R"({"retryAfter":0})")}}},
        FaultCase{"Accepted202WithoutRetryAfter", {{reportPath, status(202, "{}")}}},
        FaultCase{"ResetBeforeTheAnswer",
                  {{reportPath,
                    [] {
                        auto answer = status(200);
                        answer.closeWithoutAnswer = true;
                        return answer;
                    }()}}},
        FaultCase{"ResetInTheMiddleOfTheAnswer",
                  {{reportPath, cut(200, std::string(1000, ' ') + "{}", 100)}}},
        FaultCase{"StallOfTenSeconds", {{reportPath, delayed(10s)}}},
        FaultCase{"AnswerThatDrips", {{reportPath, dripping()}}},
        FaultCase{"BodyFarOverTheCap",
                  {{reportPath, status(200, std::string(1 << 20, ' '))}},
                  false,
                  4,
                  [](FailingGateway&) { URLSessionSettings::setMaxResponseBytes(64 * 1024); },
                  [](FailingGateway&) {
                      URLSessionSettings::setMaxResponseBytes(
                          URLSessionSettings::defaultMaxResponseBytes);
                  }},
        FaultCase{"CertificateThatDoesNotVerify",
                  {},
                  false,
                  4,
                  [](FailingGateway& t) {
                      t.stranger.emplace();
                      URLSessionSettings::setCaPem(t.stranger->caPem());
                  },
                  [](FailingGateway& t) { URLSessionSettings::setCaPem(t.h.gateway().caPem()); }},
        // A 200 is the gateway's word that it took the events, whatever
        // follows the status line.
        FaultCase{"TruncatedJson", {{reportPath, status(200, R"({"status":"o)")}}, true},
        FaultCase{"MalformedJson", {{reportPath, status(200, "<html>oops</html>")}}, true},
        // The configuration endpoint: retried at most once a minute, events
        // are kept meanwhile under the defaults.
        FaultCase{"Configuration500ForMinutes",
                  {{configPath, status(500)}, {reportPath, status(500)}},
                  false,
                  3},
        FaultCase{
            "ConfigurationTruncatedJson", {{configPath, status(200, R"({"timeForRe)")}}, true},
        FaultCase{"ConfigurationStall", {{configPath, delayed(10s)}}, true},
        FaultCase{"Identification202WithRetryAfter",
                  {{identificationPath, status(202, R"({"retryAfter":0})")}},
                  true,
                  60},
        FaultCase{"Identification202WithoutRetryAfter",
                  {{identificationPath, status(202, "{}")}},
                  true,
                  3}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mvk::test
