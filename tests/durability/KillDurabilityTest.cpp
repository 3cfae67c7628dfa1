// A game killed with SIGKILL at any moment must not cost stored events nor
// send them twice. The child program (tests/durability/child) plays numbered
// custom events through the public calls against a local gateway; this test
// kills it at random moments of start-up, storing, packing, a send waiting on
// its answer and the deletion after a 200, checks the file after each kill,
// and at the end lets a last run send everything and compares.
//
// MVK_DURABILITY_SEED replays a run; the seed is printed either way.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "durability/DurabilityControl.hpp"
#include "gateway/CannedAnswers.hpp"
#include "gateway/Gateway.hpp"
#include "storage/StorageTestSupport.hpp"
#include "support/ChildProcess.hpp"
#include "support/Patience.hpp"
#include "support/SanitizedBuild.hpp"
#include "support/TempDir.hpp"

namespace mvk::test {
namespace {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;
using Seqs = std::set<std::int64_t>;

constexpr const char* reportPath = "/v2/analytics/report";

/// Adds the number of every played event found in `value`: an object with
/// code "ce", name "durable" and an integer "seq" parameter, at any depth,
/// also inside texts that hold JSON (stored packages keep events as text).
void collectSeqs(const nlohmann::json& value, std::vector<std::int64_t>& seqs) {
    if (value.is_object()) {
        if (value.value("code", "") == "ce" && value.value("name", "") == "durable") {
            const auto parameters = value.find("parameters");
            if (parameters != value.end() && parameters->is_object() &&
                parameters->contains("seq") && (*parameters)["seq"].is_number_integer()) {
                seqs.push_back((*parameters)["seq"].get<std::int64_t>());
                return;
            }
        }
        for (const auto& [key, member] : value.items()) {
            collectSeqs(member, seqs);
        }
    } else if (value.is_array()) {
        for (const auto& member : value) {
            collectSeqs(member, seqs);
        }
    } else if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (!text.empty() && (text.front() == '{' || text.front() == '[')) {
            collectSeqs(nlohmann::json::parse(text, nullptr, false), seqs);
        }
    }
}

std::vector<std::int64_t> seqsOfText(const std::string& text) {
    std::vector<std::int64_t> seqs;
    collectSeqs(nlohmann::json::parse(text, nullptr, false), seqs);
    return seqs;
}

/// What a kill left in the library's file.
struct FileState {
    bool exists = false;
    std::string integrity;
    /// Events stored, loose or packed into reports.
    Seqs seqs;
    std::size_t reports = 0;
    bool hasSchema = false;
};

FileState readFile(const std::filesystem::path& database) {
    FileState state;
    state.exists = std::filesystem::exists(database);
    if (!state.exists) {
        return state;
    }
    RawDatabase db(database);
    state.integrity = db.single("PRAGMA integrity_check");
    const auto hasTable = [&](const std::string& name) {
        return !db.rows("SELECT name FROM sqlite_master WHERE type = 'table' AND name = '" + name +
                        "'")
                    .empty();
    };
    const auto add = [&](const std::string& sql) {
        for (const auto& row : db.rows(sql)) {
            for (const auto seq : seqsOfText(row[0])) {
                state.seqs.insert(seq);
            }
        }
    };
    state.hasSchema = hasTable("events") && hasTable("reports");
    if (hasTable("events")) {
        add("SELECT eventJson FROM events");
    }
    if (hasTable("reports")) {
        add("SELECT packagesJson FROM reports");
        state.reports = db.rows("SELECT id FROM reports").size();
    }
    return state;
}

/// How long after its answer a report's deletion may still be uncommitted:
/// a group commits within 50 ms, and the machine is shared. A report never
/// deleted at all keeps the last run from emptying the file.
#ifdef MVK_TEST_SANITIZED
constexpr Millis inFlightSlack = 1500ms;
#else
constexpr Millis inFlightSlack = 300ms;
#endif

/// One moment of the library's life a kill may land in.
struct Phase {
    std::string name;
    /// The child's mode.
    std::string mode;
    /// The gateway's answer to reports during the run.
    Millis reportDelay;
    enum class Trigger { starting, playing, packing, reportRequest } trigger;
    /// The kill comes this long after the trigger, drawn uniformly.
    Millis earliest;
    Millis latest;
};

const Phase startUp{"start-up", "stream", 0ms, Phase::Trigger::starting, 0ms, 30ms};
const std::vector<Phase> laterPhases = {
    {"stored events", "stream", 0ms, Phase::Trigger::playing, 20ms, 400ms},
    {"packing", "pack", 2000ms, Phase::Trigger::packing, 0ms, 40ms},
    {"send waiting on its answer", "pack", 400ms, Phase::Trigger::reportRequest, 0ms, 400ms},
    {"deletion after a 200", "pack", 0ms, Phase::Trigger::reportRequest, 0ms, 60ms},
};

/// One run of the child and what it left.
struct ChildRun {
    std::string phase;
    std::int64_t first = 0;
    /// The newest number announced; `first - 1` when none was.
    std::int64_t announced = 0;
    bool started = false;
    std::size_t storedAfterKill = 0;
    /// Stored after the kill although the gateway had already received them.
    Seqs inFlight;
    std::size_t inFlightRequests = 0;
    std::size_t reportRequests = 0;
    /// "none", "no schema" or "ok".
    std::string file;
};

class KillDurabilityTest : public ::testing::Test {
  protected:
    KillDurabilityTest() {
        for (auto& [path, answer] : gateway::cannedAnswers()) {
            gateway_.setAnswer(path, std::move(answer));
        }
        // Sends come only from sessions, packing calls and the drain: no
        // request timer and no full stack within a run.
        gateway_.setAnswer(
            "/v2/analytics/config",
            gateway::ScriptedAnswer::json(
                200, R"({"timeForRequest":86400000,"countForRequest":10000,)"
                     R"("eventParamsCount":20,"sessionTimeout":600000,"aliveTimeout":300000,)"
                     R"("userCounting":true,"serverTime":1700000000000})"));
        std::ofstream(caFile()) << gateway_.caPem();
    }

    std::filesystem::path caFile() const { return dir_.path() / "ca.pem"; }
    std::filesystem::path database() const { return dir_.path() / "morvanix" / "morvanix.db"; }

    void answerReportsAfter(Millis delay) {
        auto answer = gateway::ScriptedAnswer::json(200, "{}");
        answer.delay = delay;
        gateway_.setAnswer(reportPath, answer);
    }

    std::unique_ptr<ChildProcess> spawn(const std::string& mode, std::int64_t first,
                                        DurabilityControl*& control) {
        const auto file = dir_.path() / ("control-" + std::to_string(runs_++));
        control = mapDurabilityControl(file, true);
        if (control == nullptr) {
            return nullptr;
        }
        control->announced.store(first - 1);
        return std::make_unique<ChildProcess>(
            MVK_DURABILITY_CHILD,
            std::vector<std::string>{mode, dir_.path().string(), gateway_.baseUrl(),
                                     caFile().string(), file.string(), std::to_string(first)},
            dir_.path() / "stderr");
    }

    /// Every report request so far, each as the numbers it carried.
    std::vector<std::vector<std::int64_t>> reportsReceived() const {
        std::vector<std::vector<std::int64_t>> reports;
        for (const auto& request : gateway_.requests(reportPath)) {
            reports.push_back(seqsOfText(request.body));
        }
        return reports;
    }

    /// Fills in which stored events the gateway had already received, and
    /// checks that each such report was really in flight at the kill.
    void checkInFlight(ChildRun& run, const FileState& file, const ChildRun* previous,
                       std::size_t requestsBefore, Millis reportDelay,
                       std::int64_t killedAt) const {
        const auto requests = gateway_.requests(reportPath);
        run.reportRequests = requests.size() - requestsBefore;
        for (std::size_t r = 0; r < requests.size(); ++r) {
            bool carriesStored = false;
            bool inFlightBefore = previous != nullptr;
            for (const auto seq : seqsOfText(requests[r].body)) {
                if (file.seqs.count(seq) != 0) {
                    run.inFlight.insert(seq);
                    carriesStored = true;
                    inFlightBefore = inFlightBefore && previous->inFlight.count(seq) != 0;
                }
            }
            if (!carriesStored) {
                continue;
            }
            ++run.inFlightRequests;
            // A report still stored after the gateway got it must have been
            // in flight: its answer not yet back, or its deletion not yet
            // committed, when the kill came. Else it would go out at every
            // start. One this run did not send yet was in flight at the last kill.
            if (r < requestsBefore) {
                EXPECT_TRUE(inFlightBefore) << "report request " << r << " is still stored";
            } else {
                EXPECT_GE(
                    requests[r].receivedAtMillis + reportDelay.count() + inFlightSlack.count(),
                    killedAt)
                    << "report request " << r << " was answered long before the kill";
            }
        }
    }

    /// Waits for `done`, giving up after `timeout` or when the child has ended.
    static bool waitUntil(ChildProcess& child, Millis timeout, const std::function<bool()>& done) {
        bool ended = false;
        const bool stopped = pollUntil(
            [&] {
                if (done()) {
                    return true;
                }
                ended = child.waitFor(0ms).has_value();
                return ended;
            },
            timeout, 2ms);
        return stopped && !ended;
    }

    TempDir dir_;
    gateway::Gateway gateway_;
    int runs_ = 0;
};

TEST_F(KillDurabilityTest, KillsLoseOnlyAnUnstoredTailAndDuplicateOnlyReportsInFlight) {
    const auto began = std::chrono::steady_clock::now();
    std::uint32_t seed = std::random_device{}();
    if (const char* fixed = std::getenv("MVK_DURABILITY_SEED")) {
        seed = static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10));
    }
    std::cout << "durability seed " << seed << " (MVK_DURABILITY_SEED=" << seed << " replays it)\n";
    std::mt19937 random(seed);

    // Three kills in start-up, the first while the schema is being made; the
    // other seventeen spread over the later moments in a drawn order.
    std::vector<const Phase*> schedule(3, &startUp);
    std::vector<const Phase*> later;
    const std::vector<int> counts = {3, 4, 5, 5};
    for (std::size_t p = 0; p < laterPhases.size(); ++p) {
        later.insert(later.end(), static_cast<std::size_t>(counts[p]), &laterPhases[p]);
    }
    std::shuffle(later.begin(), later.end(), random);
    schedule.insert(schedule.end(), later.begin(), later.end());

    std::vector<ChildRun> runs;
    Seqs storedEver;
    std::int64_t next = 0;
    for (std::size_t kill = 0; kill < schedule.size(); ++kill) {
        const Phase& phase = *schedule[kill];
        SCOPED_TRACE("kill " + std::to_string(kill) + " in " + phase.name);
        answerReportsAfter(phase.reportDelay);
        const auto requestsBefore = gateway_.requests(reportPath).size();
        DurabilityControl* control = nullptr;
        auto child = spawn(phase.mode, next, control);
        ASSERT_TRUE(child && child->spawned());

        const auto reached = [&](DurabilityControl::Stage stage) {
            return [control, stage] { return control->stage.load() >= stage; };
        };
        bool triggered = true;
        switch (phase.trigger) {
            case Phase::Trigger::starting:
                triggered = waitUntil(*child, patience(30s), reached(DurabilityControl::starting));
                break;
            case Phase::Trigger::playing:
                triggered = waitUntil(*child, patience(30s), reached(DurabilityControl::playing));
                break;
            case Phase::Trigger::packing:
                triggered = waitUntil(*child, patience(30s), reached(DurabilityControl::packing));
                break;
            case Phase::Trigger::reportRequest:
                triggered = waitUntil(*child, patience(30s), [&] {
                    return gateway_.requests(reportPath).size() > requestsBefore;
                });
                break;
        }
        ASSERT_TRUE(triggered) << "the child never got there; "
                               << ChildProcess::describe(child->waitFor(0ms).value_or(-1)) << "\n"
                               << child->stderrText();
        std::this_thread::sleep_for(Millis(std::uniform_int_distribution<Millis::rep>(
            phase.earliest.count(), phase.latest.count())(random)));
        const auto killedAt =
            std::chrono::duration_cast<Millis>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        child->kill(SIGKILL);
        const int status = child->wait();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << ChildProcess::describe(status) << "\n"
            << child->stderrText();

        ChildRun run;
        run.phase = phase.name;
        run.first = next;
        run.announced = control->announced.load();
        run.started = control->stage.load() >= DurabilityControl::started;
        // Every run after a kill must start on what the kill left.
        if (phase.trigger != Phase::Trigger::starting) {
            EXPECT_TRUE(run.started);
        }
        const auto file = readFile(database());
        if (file.exists) {
            ASSERT_EQ(file.integrity, "ok");
        }
        run.file = !file.exists ? "none" : file.hasSchema ? "ok" : "no schema";
        checkInFlight(run, file, runs.empty() ? nullptr : &runs.back(), requestsBefore,
                      phase.reportDelay, killedAt);
        for (const auto seq : file.seqs) {
            if (seq >= run.first && seq <= run.announced) {
                ++run.storedAfterKill;
            }
        }
        storedEver.insert(file.seqs.begin(), file.seqs.end());
        next = std::max(next, run.announced + 1);
        runs.push_back(run);
    }

    // The last run plays nothing and sends whatever is left.
    answerReportsAfter(0ms);
    DurabilityControl* control = nullptr;
    auto drain = spawn("drain", next, control);
    ASSERT_TRUE(drain && drain->spawned());
    ASSERT_TRUE(waitUntil(*drain, 60s,
                          [&] {
                              const auto file = readFile(database());
                              return control->stage.load() >= DurabilityControl::started &&
                                     file.seqs.empty() && file.reports == 0;
                          }))
        << "the stored events were not all sent\n"
        << drain->stderrText();
    control->quit.store(1);
    const auto status = drain->waitFor(patience(30s));
    ASSERT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
        << (status ? ChildProcess::describe(*status) : "still running") << "\n"
        << drain->stderrText();
    const auto left = readFile(database());
    EXPECT_EQ(left.integrity, "ok");
    EXPECT_TRUE(left.seqs.empty());

    std::map<std::int64_t, int> received;
    for (const auto& report : reportsReceived()) {
        for (const auto seq : report) {
            ++received[seq];
        }
    }
    for (const auto seq : storedEver) {
        EXPECT_EQ(received.count(seq), 1u) << "event " << seq << " was stored but never sent";
    }
    Seqs inFlightEver;
    for (const auto& run : runs) {
        inFlightEver.insert(run.inFlight.begin(), run.inFlight.end());
    }
    std::size_t duplicates = 0;
    std::size_t duplicatesInFlight = 0;
    for (const auto& [seq, times] : received) {
        if (times > 1) {
            duplicates += static_cast<std::size_t>(times - 1);
            const bool inFlight = inFlightEver.count(seq) != 0;
            duplicatesInFlight += inFlight ? static_cast<std::size_t>(times - 1) : 0;
            EXPECT_TRUE(inFlight) << "event " << seq << " was sent " << times
                                  << " times without a report in flight at a kill";
        }
    }

    std::cout << "kill  phase                       first   played  stored  lost tail  "
                 "reports  in flight (requests)  file\n";
    std::int64_t played = 0;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const auto& run = runs[k];
        SCOPED_TRACE("run of kill " + std::to_string(k) + " in " + run.phase);
        // What reached the gateway from this run is a prefix of what it played.
        std::int64_t sent = 0;
        for (auto seq = run.first; seq <= run.announced; ++seq) {
            if (received.count(seq) == 0) {
                break;
            }
            ++sent;
        }
        for (auto seq = run.first + sent; seq <= run.announced; ++seq) {
            EXPECT_EQ(received.count(seq), 0u) << "event " << seq << " came after a hole";
        }
        const auto count = run.announced - run.first + 1;
        played += count;
        std::printf("%4zu  %-26s %6lld  %7lld  %6zu  %9lld  %7zu  %zu (%zu)  %s\n", k,
                    run.phase.c_str(), static_cast<long long>(run.first),
                    static_cast<long long>(count), run.storedAfterKill,
                    static_cast<long long>(count - sent), run.reportRequests, run.inFlight.size(),
                    run.inFlightRequests, run.file.c_str());
    }
    for (const auto& [seq, times] : received) {
        EXPECT_LT(seq, next) << "event " << seq << " was never played";
    }
    std::printf(
        "kills %zu, events played %lld, reached the gateway %zu, duplicates %zu (in flight at a "
        "kill: %zu), %.1f s\n",
        runs.size(), static_cast<long long>(played), received.size(), duplicates,
        duplicatesInFlight,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    std::fflush(stdout);
}

}  // namespace
}  // namespace mvk::test
