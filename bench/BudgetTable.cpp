// The whole budget table in one run, beside the bare SQLite rates on the same
// disk. Timed rows are medians of several runs; the machine is shared, so the
// ratio columns say more than the absolute times.
//
// Run in Release: cmake --preset bench && cmake --build --preset bench &&
// build/bench/bench/BudgetTable [path/to/libMVKAnalyticsUnreal.so] [runs]
//
// Resident memory is measured in child processes of this program (one per
// case), each a host that has loaded and initialised libcurl and SQLite before
// it calls `initialize`, so the figures hold only what the library adds.
// MVK_MEMORY_CHILD_WRAPPER puts a command (a heap profiler) before each child's;
// MVK_MEMORY_CHILD_STOP ends a child at its start-up figures.

#include <curl/curl.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BareDatabase.hpp"
#include "StartUpSupport.hpp"
#include "foundation/Logger.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "mvk/MVKRemoteConfig.hpp"
#include "mvk/MVKUserCard.hpp"
#include "mvk/UnrealBridge.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/QueueManager.hpp"
#include "platform/URLSessionSettings.hpp"

namespace {

using namespace mvk;
using namespace mvk::bench;

constexpr double mebibyte = 1024.0 * 1024.0;

double seconds(WallClock::duration elapsed) {
    return std::chrono::duration<double>(elapsed).count();
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string shell(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        while (auto read = std::fread(buffer.data(), 1, buffer.size(), pipe)) {
            output.append(buffer.data(), read);
        }
        ::pclose(pipe);
    }
    return output;
}

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

/// Resident and proportional set sizes from smaps_rollup (statm as fallback).
struct Resident {
    double rss = 0;
    double pss = 0;
    /// Heap, stacks and other private memory, without mapped code.
    double anonymous = 0;
};

Resident resident() {
    Resident figures;
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string key;
    double kilobytes = 0;
    std::string unit;
    while (rollup >> key) {
        if (key == "Rss:" && rollup >> kilobytes >> unit) {
            figures.rss = kilobytes * 1024;
        } else if (key == "Pss:" && rollup >> kilobytes >> unit) {
            figures.pss = kilobytes * 1024;
        } else if (key == "Anonymous:" && rollup >> kilobytes >> unit) {
            figures.anonymous = kilobytes * 1024;
        }
    }
    if (figures.rss == 0) {
        figures.rss = figures.pss = static_cast<double>(residentBytes());
    }
    return figures;
}

/// Resident bytes per mapping: the file's name, or [heap], [stack] and
/// [anon] for the anonymous ones (thread stacks and malloc arenas among them).
std::map<std::string, double> residentByMapping() {
    std::map<std::string, double> parts;
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    std::string name;
    while (std::getline(smaps, line)) {
        if (line.empty()) {
            continue;
        }
        if (std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < 16 &&
            line.find(':') > line.find(' ')) {
            std::istringstream fields(line);
            std::string range, perms, offset, device, inode;
            fields >> range >> perms >> offset >> device >> inode;
            std::getline(fields >> std::ws, name);
            if (name.empty()) {
                name = "[anon]";
            } else if (name.rfind("[stack", 0) == 0) {
                name = "[stack]";
            } else {
                name = std::filesystem::path(name).filename().string();
            }
        } else if (line.rfind("Rss:", 0) == 0) {
            parts[name] += std::atof(line.c_str() + 4) * 1024;
        }
    }
    return parts;
}

int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) {
            return std::atoi(line.c_str() + 8);
        }
    }
    return 0;
}

// ---------------------------------------------------------------- memory child

std::size_t discard(char*, std::size_t size, std::size_t count, void*) {
    return size * count;
}

/// What a host has done before it calls `initialize`: libcurl and SQLite are
/// loaded and initialised, and each has done one piece of work (an HTTPS
/// request, a table in memory), so their code and TLS state are resident.
void actAsHostWithCurlAndSqlite(const std::string& url, const std::string& caPem) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (CURL* easy = curl_easy_init()) {
        curl_blob ca{const_cast<char*>(caPem.data()), caPem.size(), CURL_BLOB_COPY};
        curl_easy_setopt(easy, CURLOPT_URL, (url + "/host-own-request").c_str());
        curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &ca);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, discard);
        curl_easy_perform(easy);
        curl_easy_cleanup(easy);
    }
    sqlite3_initialize();
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) == SQLITE_OK) {
        sqlite3_exec(db, "CREATE TABLE t (x); INSERT INTO t VALUES (1)", nullptr, nullptr, nullptr);
    }
    sqlite3_close(db);
}

/// Child: initialise over `directory` against the parent's gateway and print
/// "rss pss heap sqlite threads rssAfterPass" growth over the host state.
int memoryChild(const std::string& directory, const std::string& url, const std::string& caFile) {
    std::ifstream caStream(caFile);
    const std::string caPem((std::istreambuf_iterator<char>(caStream)), {});
    actAsHostWithCurlAndSqlite(url, caPem);
    Logger::setLogLevel(MVKLogLevel::no);
    malloc_trim(0);
    const auto before = resident();
    const auto heapBefore = static_cast<double>(mallinfo2().uordblks);
    const auto sqliteBefore = static_cast<double>(sqlite3_memory_used());
    const auto threadsBefore = threadCount();
    const auto partsBefore = residentByMapping();

    ApplicationSupportDirectory::setOverride(directory);
    URLSessionSettings::setCaPem(caPem);
    MVKAnalytics::setTestProxyUrl(url);
    StartUp startUp;
    startUp.run();
    QueueManager::incomeQueue().queue().drain(std::chrono::minutes(5));
    const auto after = resident();
    const auto heapAfter = static_cast<double>(mallinfo2().uordblks);
    const auto sqliteAfter = static_cast<double>(sqlite3_memory_used());
    const auto threadsAfter = threadCount();
    // What of the growth is free memory the allocator keeps, not memory held.
    malloc_trim(0);
    const auto afterTrim = resident();
    for (const auto& [name, bytes] : residentByMapping()) {
        const auto found = partsBefore.find(name);
        const double grown = bytes - (found != partsBefore.end() ? found->second : 0.0);
        if (grown >= 16 * 1024 || grown <= -16 * 1024) {
            std::printf("part %s %.0f\n", name.c_str(), grown);
        }
    }

    // For a heap profiler: stop at the figures above, before the send pass.
    if (std::getenv("MVK_MEMORY_CHILD_STOP") != nullptr) {
        std::_Exit(0);
    }
    // One send pass: what the stored events cost while they go out.
    MVKApplication::didBecomeActive();
    MVKAnalytics::sendBufferedEvents();
    QueueManager::incomeQueue().queue().drain(std::chrono::minutes(5));
    QueueManager::networkSerialQueue().queue().drain(std::chrono::minutes(5));
    QueueManager::incomeQueue().queue().drain(std::chrono::minutes(5));
    const auto afterPass = resident();
    const auto heapAfterPass = static_cast<double>(mallinfo2().uordblks);
    malloc_trim(0);
    const auto afterPassTrim = resident();

    std::printf("%.0f %.0f %.0f %.0f %d %.0f %.0f %.0f %.0f %.0f\n", after.rss - before.rss,
                after.pss - before.pss, heapAfter - heapBefore, sqliteAfter - sqliteBefore,
                threadsAfter - threadsBefore, afterPass.rss - before.rss,
                heapAfterPass - heapBefore, afterTrim.rss - before.rss,
                afterPassTrim.rss - before.rss, after.anonymous - before.anonymous);
    std::fflush(stdout);
    // The process ends here on purpose: no destroy, nothing to tear down.
    std::_Exit(0);
}

struct MemoryFigures {
    double rss = 0;
    double pss = 0;
    double heap = 0;
    double sqlite = 0;
    double threads = 0;
    double rssAfterPass = 0;
    double heapAfterPass = 0;
    double rssTrimmed = 0;
    double rssAfterPassTrimmed = 0;
    double anonymous = 0;
    /// "<mapping> <bytes>" lines: where the resident growth sits.
    std::vector<std::string> parts;
};

MemoryFigures runMemoryChild(const std::string& self, const std::string& directory,
                             const std::string& url, const std::string& caFile) {
    // A command put before the child's, e.g. "heaptrack -o /tmp/child-$$".
    const char* wrapper = std::getenv("MVK_MEMORY_CHILD_WRAPPER");
    const auto output =
        shell(std::string(wrapper ? wrapper : "") + " " + quoted(self) + " --memory-child " +
              quoted(directory) + " " + quoted(url) + " " + quoted(caFile) + " 2>/dev/null");
    // The library prints a line of its own on stdout; the figures are the last line.
    MemoryFigures figures;
    std::istringstream lines(output);
    std::string line;
    std::string last;
    while (std::getline(lines, line)) {
        if (line.rfind("part ", 0) == 0) {
            figures.parts.push_back(line.substr(5));
        } else if (!line.empty() &&
                   (std::isdigit(static_cast<unsigned char>(line[0])) || line[0] == '-')) {
            last = line;
        }
    }
    std::istringstream(last) >> figures.rss >> figures.pss >> figures.heap >> figures.sqlite >>
        figures.threads >> figures.rssAfterPass >> figures.heapAfterPass >> figures.rssTrimmed >>
        figures.rssAfterPassTrimmed >> figures.anonymous;
    return figures;
}

// --------------------------------------------------------------- backlog child

/// What a held-back queue is filled with.
enum class BacklogCall { customEvents = 0, userCardLongTexts = 1, largeBalances = 2 };

/// One call of `kind`; the large inputs are made once, as a game keeps them.
void backlogCall(BacklogCall kind) {
    static const std::string longText(8 * 1024, 'x');
    static const MVKAnalytics::Amounts largeBalance = [] {
        MVKAnalytics::Amounts balance;
        for (int n = 0; n < 150; ++n) {
            balance["currency_with_a_rather_long_name_" + std::to_string(n)] = n;
        }
        return balance;
    }();
    switch (kind) {
        case BacklogCall::customEvents:
            MVKAnalytics::customEvent("level_complete", twentyParameters());
            break;
        case BacklogCall::userCardLongTexts:
            MVKUserCard::setString("biography", longText);
            break;
        case BacklogCall::largeBalances:
            MVKAnalytics::currentBalance(largeBalance);
            break;
    }
}

/// Child: start the library, hold the income queue back (as the background
/// does before start-up) and queue `events` calls of `kind` from one thread;
/// then let them be stored and leave the thread idle. With `threads`, each of
/// that many threads makes a thousand events and then waits, idle. Prints
/// "queuedAdded admitted idleAdded idleTrimmedAdded" over the started library.
int backlogChild(const std::string& directory, const std::string& url, const std::string& caFile,
                 int events, int threads, BacklogCall kind) {
    std::ifstream caStream(caFile);
    const std::string caPem((std::istreambuf_iterator<char>(caStream)), {});
    actAsHostWithCurlAndSqlite(url, caPem);
    Logger::setLogLevel(MVKLogLevel::no);
    ApplicationSupportDirectory::setOverride(directory);
    URLSessionSettings::setCaPem(caPem);
    MVKAnalytics::setTestProxyUrl(url);
    StartUp().run();
    auto& income = QueueManager::incomeQueue().queue();
    income.drain(std::chrono::minutes(5));

    // Idle host threads, made before the baseline so their stacks are in it.
    std::mutex mutex;
    std::condition_variable changed;
    bool call = false;
    int called = 0;
    std::vector<std::thread> idle;
    for (int t = 0; t < threads; ++t) {
        idle.emplace_back([&] {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return call; });
            lock.unlock();
            for (int n = 0; n < 1000; ++n) {
                MVKAnalytics::customEvent("level_complete", twentyParameters());
            }
            lock.lock();
            ++called;
            changed.notify_all();
            changed.wait(lock, [] { return false; });
        });
    }
    malloc_trim(0);
    const auto before = resident();
    const auto queuedBefore = income.operationCount();

    income.pause();
    for (int n = 0; n < events; ++n) {
        backlogCall(kind);
    }
    const auto queued = resident();
    const auto admitted = income.operationCount() - queuedBefore;
    income.resume();
    {
        std::unique_lock lock(mutex);
        call = true;
        changed.notify_all();
        changed.wait(lock, [&] { return called == threads; });
    }
    income.drain(std::chrono::minutes(10));
    const auto idleAfter = resident();
    malloc_trim(0);
    const auto idleTrimmed = resident();
    std::printf("%.0f %zu %.0f %.0f\n", queued.rss - before.rss, admitted,
                idleAfter.rss - before.rss, idleTrimmed.rss - before.rss);
    std::fflush(stdout);
    // The idle threads are still waiting: nothing is torn down.
    std::_Exit(0);
}

/// Resident bytes added over the started library: with the calls queued,
/// then idle once they are stored (and once free pages are trimmed).
struct BacklogFigures {
    double queuedAdded = 0, admitted = 0, idleAdded = 0, idleTrimmedAdded = 0;
};

BacklogFigures runBacklogChild(const std::string& self, const std::string& directory,
                               const std::string& url, const std::string& caFile, int events,
                               int threads, BacklogCall kind) {
    const auto output =
        shell(quoted(self) + " --backlog-child " + quoted(directory) + " " + quoted(url) + " " +
              quoted(caFile) + " " + std::to_string(events) + " " + std::to_string(threads) + " " +
              std::to_string(static_cast<int>(kind)) + " 2>/dev/null");
    std::istringstream lines(output);
    std::string line;
    std::string last;
    while (std::getline(lines, line)) {
        if (!line.empty() &&
            (std::isdigit(static_cast<unsigned char>(line[0])) || line[0] == '-')) {
            last = line;
        }
    }
    BacklogFigures figures;
    std::istringstream(last) >> figures.queuedAdded >> figures.admitted >> figures.idleAdded >>
        figures.idleTrimmedAdded;
    return figures;
}

// ------------------------------------------------------------------ caller cost

void settle() {
    MVKAnalytics::sendBufferedEvents();
    QueueManager::incomeQueue().queue().drain(std::chrono::minutes(10));
    QueueManager::networkSerialQueue().queue().drain(std::chrono::minutes(10));
    QueueManager::incomeQueue().queue().drain(std::chrono::minutes(10));
}

/// The value below which `share` of the sorted `values` lie.
template <typename Value>
double percentileOf(const std::vector<Value>& sorted, double share) {
    const auto index = static_cast<std::size_t>(share * static_cast<double>(sorted.size()));
    return static_cast<double>(sorted[std::min(sorted.size() - 1, index)]);
}

/// p50 and p99 over all host threads of what `call(n)` costs the caller,
/// each thread making `callsPerThread` calls, one every `pace` (at once when
/// zero). Exact: every call's time is kept and sorted.
template <typename Call>
std::pair<double, double> callerCost(int threads, int callsPerThread, const Call& call,
                                     std::chrono::microseconds pace = {}) {
    std::vector<std::int64_t> merged;
    std::mutex mergeMutex;
    std::atomic<int> ready{0};
    std::vector<std::thread> hosts;
    for (int t = 0; t < threads; ++t) {
        hosts.emplace_back([&] {
            std::vector<std::int64_t> own;
            own.reserve(static_cast<std::size_t>(callsPerThread));
            ++ready;
            while (ready.load() < threads) {
                std::this_thread::yield();
            }
            auto next = WallClock::now();
            for (int n = 0; n < callsPerThread; ++n) {
                if (pace.count() > 0) {
                    next += pace;
                    std::this_thread::sleep_until(next);
                }
                const auto start = WallClock::now();
                call(n);
                own.push_back(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(WallClock::now() - start)
                        .count());
            }
            std::lock_guard lock(mergeMutex);
            merged.insert(merged.end(), own.begin(), own.end());
        });
    }
    for (auto& host : hosts) {
        host.join();
    }
    settle();
    std::sort(merged.begin(), merged.end());
    return {percentileOf(merged, 0.50), percentileOf(merged, 0.99)};
}

/// What a game pays for one event: building its 20 parameters and calling.
void eventAsAGameMakesIt(int) {
    MVKAnalytics::customEvent("level_complete", twentyParameters());
}

/// The calls a game makes per frame or per event besides custom events, each
/// with its arguments built as a game builds them.
struct FrameCall {
    const char* name;
    void (*call)(int n);
};

const FrameCall frameCalls[] = {
    {"user card setInt", [](int n) { MVKUserCard::setInt("score", n); }},
    {"user card setString", [](int n) { MVKUserCard::setString("clan", "wolves"); }},
    {"startProgressionEvent", [](int) { MVKAnalytics::startProgressionEvent("forest_1"); }},
    {"levelUp with 3 balances built",
     [](int n) {
         MVKAnalytics::levelUp(n % 90 + 1, {{"gold", n}, {"gems", 3}, {"wood", 40}});
     }},
    {"getCurrentLevel", [](int) { MVKAnalytics::getCurrentLevel([](std::int64_t) {}); }},
    {"user card getAge", [](int) { MVKUserCard::getAge([](std::int64_t) {}); }},
    {"isAnalyticsInited", [](int) { UnrealBridge::isAnalyticsInited(); }},
};

// -------------------------------------------------------------- destroy latency

struct DestroyFigures {
    double p50 = 0;
    double p99 = 0;
    double max = 0;
    /// Public calls the hosts made per second meanwhile.
    double callRate = 0;
};

/// How long `destroySDK` takes while `threads` host threads call the library
/// without pause: events with their parameters built, user-card changes and
/// getters, push tokens, and the calls that read or change the core itself.
/// Each cycle starts the library, lets the hosts call for a moment and
/// destroys it under them. While the income queue is deep the hosts make only
/// the calls that queue nothing, so memory stays bounded.
DestroyFigures destroyLatency(int threads, int cycles) {
    BenchDirectory directory;
    StartUp().run();
    MVKApplication::didBecomeActive();
    std::atomic<bool> calling{true};
    std::atomic<std::int64_t> calls{0};
    std::vector<std::thread> hosts;
    for (int t = 0; t < threads; ++t) {
        hosts.emplace_back([&, t] {
            std::int64_t n = 0;
            bool deep = false;
            for (; calling.load(std::memory_order_relaxed); ++n) {
                // While the queue is deep, only the calls that queue nothing.
                if (n % 64 == 0) {
                    deep = QueueManager::incomeQueue().operationCount() > 50'000;
                }
                switch (deep ? 6 + n % 2 : (n + t) % 8) {
                    case 0:
                    case 1:
                        MVKAnalytics::customEvent("level_complete", twentyParameters());
                        break;
                    case 2:
                        MVKUserCard::setInt("score", n);
                        break;
                    case 3:
                        MVKUserCard::getAge([](std::int64_t) {});
                        break;
                    case 4:
                        MVKAnalytics::getCurrentLevel([](std::int64_t) {});
                        break;
                    case 5:
                        UnrealBridge::sendPushToken("token", true);
                        break;
                    case 6:
                        UnrealBridge::isAnalyticsInited();
                        twentyParameters();
                        break;
                    default:
                        MVKEngineWrapper::enableEditorMode();
                        MVKRemoteConfig::remoteConfigWaiting();
                }
            }
            calls += n;
        });
    }
    const auto begun = WallClock::now();
    std::vector<double> times;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        MVKAnalytics::initialize("bench-app-key");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const auto start = WallClock::now();
        MVKEngineWrapper::destroySDK();
        times.push_back(seconds(WallClock::now() - start));
    }
    calling = false;
    for (auto& host : hosts) {
        host.join();
    }
    const double callRate = static_cast<double>(calls.load()) / seconds(WallClock::now() - begun);
    shutDown();
    std::sort(times.begin(), times.end());
    return {percentileOf(times, 0.50), percentileOf(times, 0.99), times.back(), callRate};
}

// ------------------------------------------------------------------- bare SQLite

double bareRate(bool oneTransaction, int rows) {
    BareDatabase database(BareDatabase::temporaryPath());
    const auto start = WallClock::now();
    if (oneTransaction) {
        database.exec("BEGIN");
    }
    for (int n = 0; n < rows; ++n) {
        database.insertRow();
    }
    if (oneTransaction) {
        database.exec("COMMIT");
    }
    return rows / seconds(WallClock::now() - start);
}

// ------------------------------------------------------------------ the library

std::string findLibrary(const std::string& self, int argc, char** argv) {
    if (argc > 1 && std::filesystem::exists(argv[1])) {
        return argv[1];
    }
    const auto here = std::filesystem::path(self).parent_path();
    for (const auto& folder : {here, here.parent_path()}) {
        const auto candidate = folder / "libMVKAnalyticsUnreal.so";
        if (std::filesystem::exists(candidate)) {
            return candidate.string();
        }
    }
    return {};
}

struct LibraryFigures {
    double strippedBytes = 0;
    int exported = 0;
    int exportedStd = 0;
};

LibraryFigures libraryFigures(const std::string& library) {
    LibraryFigures figures;
    if (library.empty()) {
        return figures;
    }
    const auto stripped = (std::filesystem::temp_directory_path() /
                           ("mvk-budget-stripped-" + std::to_string(::getpid()) + ".so"))
                              .string();
    shell("strip -o " + quoted(stripped) + " " + quoted(library) + " 2>/dev/null");
    std::error_code error;
    figures.strippedBytes = static_cast<double>(std::filesystem::file_size(stripped, error));
    std::filesystem::remove(stripped, error);
    // Defined dynamic symbols, without the version-script nodes themselves.
    figures.exported = std::atoi(
        shell("nm -D --defined-only " + quoted(library) + " | grep -v ' A ' | wc -l").c_str());
    // Public calls take std:: types, so only a symbol outside our namespace
    // (a template instantiation, a library's own type) counts against the row.
    figures.exportedStd = std::atoi(
        shell("nm -DC --defined-only " + quoted(library) +
              " | grep -v ' A ' | cut -c20- | grep -v -E '^(mvk::|typeinfo for mvk::|typeinfo "
              "name for mvk::|vtable for mvk::)' | wc -l")
            .c_str());
    return figures;
}

/// `initialize` on the caller's thread, and to the host's complete callback.
struct InitializeTimes {
    double callerSeconds = 0;
    double callbackSeconds = 0;
};

InitializeTimes timedInitialize() {
    std::mutex mutex;
    std::condition_variable finished;
    std::optional<WallClock::time_point> done;
    MVKAnalytics::setInitializationCompleteCallback([&] {
        std::lock_guard lock(mutex);
        done = WallClock::now();
        finished.notify_all();
    });
    const auto start = WallClock::now();
    MVKAnalytics::initialize("bench-app-key");
    const auto returned = WallClock::now();
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done.has_value(); });
    return {seconds(returned - start), seconds(*done - start)};
}

void row(const char* figure, const std::string& measured, const char* goal, const char* verdict,
         const std::string& beside = {}) {
    std::printf("%-46s %-22s %-20s %-6s %s\n", figure, measured.c_str(), goal, verdict,
                beside.c_str());
}

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
    std::array<char, 160> buffer{};
    std::snprintf(buffer.data(), buffer.size(), pattern, a, b, c, d);
    return buffer.data();
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    if (argc == 5 && std::string(argv[1]) == "--memory-child") {
        return memoryChild(argv[2], argv[3], argv[4]);
    }
    if (argc == 8 && std::string(argv[1]) == "--backlog-child") {
        return backlogChild(argv[2], argv[3], argv[4], std::atoi(argv[5]), std::atoi(argv[6]),
                            static_cast<BacklogCall>(std::atoi(argv[7])));
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    // An optional third argument picks sections:
    // "memory,backlog,inputs,caller,start,rate,sqlite,destroy".
    const std::string sections =
        argc > 3 ? argv[3] : "memory,backlog,inputs,caller,start,rate,sqlite,destroy";
    const auto wants = [&](const char* section) {
        return sections.find(section) != std::string::npos;
    };
    MVKAnalytics::setLogLevel(MVKLogLevel::no);

    gateway::Gateway gateway;
    for (auto& [path, answer] : gateway::cannedAnswers()) {
        gateway.setAnswer(path, std::move(answer));
    }
    URLSessionSettings::setCaPem(gateway.caPem());
    MVKAnalytics::setTestProxyUrl(gateway.baseUrl());
    const auto caFile = (std::filesystem::temp_directory_path() /
                         ("mvk-budget-ca-" + std::to_string(::getpid()) + ".pem"))
                            .string();
    std::ofstream(caFile) << gateway.caPem();

    // Library size and exports.
    const auto library = libraryFigures(findLibrary(self, argc, argv));

    // Bare SQLite on the same disk.
    std::vector<double> autocommit;
    std::vector<double> transaction;
    for (int r = 0; r < runs && wants("sqlite"); ++r) {
        autocommit.push_back(bareRate(false, 500));
        transaction.push_back(bareRate(true, 20'000));
    }
    const double bareAutocommit = median(autocommit);
    const double bareTransaction = median(transaction);

    // initialize: first start on a fresh directory, warm starts on the same one.
    std::vector<double> firstCaller;
    std::vector<double> firstCallback;
    std::vector<double> warmCaller;
    std::vector<double> warmCallback;
    // A start takes milliseconds and its time swings with whatever else the
    // machine does: a median of a few is mostly noise, so take more.
    const int startRuns = std::max(runs, 15);
    for (int r = 0; r < startRuns && wants("start"); ++r) {
        BenchDirectory directory;
        const auto first = timedInitialize();
        firstCaller.push_back(first.callerSeconds);
        firstCallback.push_back(first.callbackSeconds);
        shutDown();
        const auto warm = timedInitialize();
        warmCaller.push_back(warm.callerSeconds);
        warmCallback.push_back(warm.callbackSeconds);
        shutDown();
    }

    // Memory: the empty case and 100k stored events, each in a fresh process.
    std::vector<MemoryFigures> emptyCases;
    std::vector<MemoryFigures> backlogCases;
    if (wants("memory")) {
        BenchDirectory directory;
        StartUp().run();
        shutDown();
        for (int r = 0; r < std::min(runs, 3); ++r) {
            emptyCases.push_back(
                runMemoryChild(self, directory.path().string(), gateway.baseUrl(), caFile));
        }
        for (int r = 0; r < std::min(runs, 3); ++r) {
            storeBacklog(100'000);
            backlogCases.push_back(
                runMemoryChild(self, directory.path().string(), gateway.baseUrl(), caFile));
        }
    }
    // Memory held by calls queued behind a held-back queue, and by idle threads.
    struct BacklogCase {
        const char* name;
        int events;
        int threads;
        BacklogCall kind = BacklogCall::customEvents;
        /// The section that runs it: "inputs" for the calls with large inputs.
        const char* section = "backlog";
        std::vector<BacklogFigures> runs = {};
    };
    std::vector<BacklogCase> backlogs = {{"100k events queued, queue held back", 100'000, 0},
                                         {"1M events queued, queue held back", 1'000'000, 0},
                                         {"20k user-card setString of 8 KB, queue held back",
                                          20'000, 0, BacklogCall::userCardLongTexts, "inputs"},
                                         {"20k currentBalance of 150 currencies, queue held back",
                                          20'000, 0, BacklogCall::largeBalances, "inputs"},
                                         {"64 threads idle after 1,000 events each", 0, 64}};
    if (wants("backlog") || wants("inputs")) {
        BenchDirectory directory;
        StartUp().run();
        shutDown();
        for (auto& backlog : backlogs) {
            for (int r = 0; r < std::min(runs, 3) && wants(backlog.section); ++r) {
                backlog.runs.push_back(runBacklogChild(self, directory.path().string(),
                                                       gateway.baseUrl(), caFile, backlog.events,
                                                       backlog.threads, backlog.kind));
            }
        }
    }
    const auto memoryMedian = [](const std::vector<MemoryFigures>& cases,
                                 double MemoryFigures::*field) {
        std::vector<double> values;
        for (const auto& figures : cases) {
            values.push_back(figures.*field);
        }
        return median(values);
    };

    // Events stored per second, sustained, and the 5,000-event burst.
    std::vector<double> sustained;
    std::vector<double> burst;
    std::vector<std::pair<double, double>> oneThread;
    std::vector<std::pair<double, double>> eightThreads;
    std::vector<std::pair<double, double>> oneThreadAlone;
    std::vector<std::pair<double, double>> eightThreadsAlone;
    std::vector<std::pair<double, double>> oneThreadPaced;
    std::vector<std::pair<double, double>> eightThreadsPaced;
    std::map<std::string, std::vector<std::pair<double, double>>> frameOne;
    std::map<std::string, std::vector<std::pair<double, double>>> frameEight;
    if (wants("rate") || wants("caller")) {
        BenchDirectory directory;
        StartUp().run();
        MVKApplication::didBecomeActive();
        const auto parameters = twentyParameters();
        const auto callAlone = [&](int) {
            MVKAnalytics::customEvent("level_complete", parameters);
        };
        for (int r = 0; r < runs; ++r) {
            if (wants("rate")) {
                constexpr int events = 20'000;
                auto start = WallClock::now();
                for (int n = 0; n < events; ++n) {
                    MVKAnalytics::customEvent("level_complete", parameters);
                }
                QueueManager::incomeQueue().queue().waitUntilAllOperationsAreFinished();
                sustained.push_back(events / seconds(WallClock::now() - start));
                settle();

                start = WallClock::now();
                for (int n = 0; n < 5'000; ++n) {
                    MVKAnalytics::customEvent("level_complete", parameters);
                }
                settle();
                burst.push_back(seconds(WallClock::now() - start));
            }
            if (wants("caller")) {
                oneThread.push_back(callerCost(1, 20'000, eventAsAGameMakesIt));
                eightThreads.push_back(callerCost(8, 20'000, eventAsAGameMakesIt));
                oneThreadAlone.push_back(callerCost(1, 20'000, callAlone));
                eightThreadsAlone.push_back(callerCost(8, 20'000, callAlone));
                // A game's pace: each thread makes an event a millisecond, so
                // the income queue keeps up. Each call then meets cold caches
                // and a library thread asleep, which it wakes.
                oneThreadPaced.push_back(
                    callerCost(1, 2'000, eventAsAGameMakesIt, std::chrono::milliseconds(1)));
                eightThreadsPaced.push_back(
                    callerCost(8, 2'000, eventAsAGameMakesIt, std::chrono::milliseconds(1)));
                for (const auto& frame : frameCalls) {
                    frameOne[frame.name].push_back(callerCost(1, 20'000, frame.call));
                    frameEight[frame.name].push_back(callerCost(8, 20'000, frame.call));
                }
            }
        }
        shutDown();
    }
    const auto percentiles = [](const std::vector<std::pair<double, double>>& cases) {
        std::vector<double> p50;
        std::vector<double> p99;
        for (const auto& [a, b] : cases) {
            p50.push_back(a);
            p99.push_back(b);
        }
        return std::pair{median(p50), median(p99)};
    };
    const auto [p50One, p99One] = percentiles(oneThread);
    const auto [p50Eight, p99Eight] = percentiles(eightThreads);
    const auto [p50OneAlone, p99OneAlone] = percentiles(oneThreadAlone);
    const auto [p50EightAlone, p99EightAlone] = percentiles(eightThreadsAlone);
    const auto [p50OnePaced, p99OnePaced] = percentiles(oneThreadPaced);
    const auto [p50EightPaced, p99EightPaced] = percentiles(eightThreadsPaced);

    // destroySDK under 8, 32 and 64 calling host threads.
    std::map<int, DestroyFigures> destroys;
    for (const int threads : {8, 32, 64}) {
        if (wants("destroy")) {
            destroys[threads] = destroyLatency(threads, 200);
        }
    }

    std::printf(
        "\nBudget table, medians of %d runs (starts: of %d; memory: of %d processes per case)\n\n",
        runs, std::max(runs, 15), std::min(runs, 3));
    std::printf("%-46s %-22s %-20s %-6s %s\n", "figure", "measured", "goal", "", "beside");
    row("stripped library size", format("%.2f MB", library.strippedBytes / 1e6), "<= 1.5 MB",
        verdict(library.strippedBytes > 0 && library.strippedBytes <= 1.5e6));
    row("exported symbols",
        format("%.0f (outside mvk:: %.0f)", library.exported, library.exportedStd),
        "public API only", verdict(library.exported > 0 && library.exportedStd == 0));
    const double emptyRss = memoryMedian(emptyCases, &MemoryFigures::rss);
    const double backlogRss = memoryMedian(backlogCases, &MemoryFigures::rss);
    row("resident added by initialize, empty", format("%.2f MB", emptyRss / mebibyte), "<= 1.5 MB",
        verdict(emptyRss <= 1.5 * mebibyte),
        format("pss %.2f MB", memoryMedian(emptyCases, &MemoryFigures::pss) / mebibyte));
    const auto details = [&](const std::vector<MemoryFigures>& cases) {
        row("  of it: anonymous / heap in use / SQLite",
            format("%.2f / %.2f / %.2f MB",
                   memoryMedian(cases, &MemoryFigures::anonymous) / mebibyte,
                   memoryMedian(cases, &MemoryFigures::heap) / mebibyte,
                   memoryMedian(cases, &MemoryFigures::sqlite) / mebibyte),
            "", "",
            format("threads added %.0f; once free pages are trimmed %.2f MB",
                   memoryMedian(cases, &MemoryFigures::threads),
                   memoryMedian(cases, &MemoryFigures::rssTrimmed) / mebibyte));
    };
    details(emptyCases);
    row("resident added, 100k stored events", format("%.2f MB", backlogRss / mebibyte),
        "<= empty + 2 MB", verdict(backlogRss <= emptyRss + 2 * mebibyte));
    details(backlogCases);
    row("  after one send pass of it all",
        format("%.2f MB", memoryMedian(backlogCases, &MemoryFigures::rssAfterPass) / mebibyte), "",
        "",
        format("heap in use %.2f MB, once trimmed %.2f MB (empty: %.2f MB)",
               memoryMedian(backlogCases, &MemoryFigures::heapAfterPass) / mebibyte,
               memoryMedian(backlogCases, &MemoryFigures::rssAfterPassTrimmed) / mebibyte,
               memoryMedian(emptyCases, &MemoryFigures::rssAfterPass) / mebibyte));
    const double rate = median(sustained);
    row("events stored per second, sustained", format("%.0f /s", rate), ">= 20,000 /s",
        verdict(rate >= 20'000),
        format("x%.1f bare autocommit, %.2f of bare transaction", rate / bareAutocommit,
               rate / bareTransaction));
    row("5,000-event burst to last report accepted", format("%.2f s", median(burst)), "<= 2 s",
        verdict(median(burst) <= 2.0),
        format("bare autocommit would take %.2f s", 5'000 / bareAutocommit));
    row("customEvent, 20 parameters built, 1 thread",
        format("p50 %.0f ns, p99 %.0f ns", p50One, p99One), "p50<=1000 p99<=5000",
        verdict(p50One <= 1'000 && p99One <= 5'000),
        format("the call alone: p50 %.0f ns, p99 %.0f ns", p50OneAlone, p99OneAlone));
    row("customEvent, 20 parameters built, 8 threads",
        format("p50 %.0f ns, p99 %.0f ns", p50Eight, p99Eight), "p50<=1000 p99<=5000",
        verdict(p50Eight <= 1'000 && p99Eight <= 5'000),
        format("the call alone: p50 %.0f ns, p99 %.0f ns", p50EightAlone, p99EightAlone));
    row("the same, an event a millisecond, 1 thread",
        format("p50 %.0f ns, p99 %.0f ns", p50OnePaced, p99OnePaced), "", "");
    row("the same, an event a millisecond, 8 threads",
        format("p50 %.0f ns, p99 %.0f ns", p50EightPaced, p99EightPaced), "", "");
    row("initialize, caller's thread (first / warm)",
        format("%.1f / %.1f us", median(firstCaller) * 1e6, median(warmCaller) * 1e6), "<= 20 us",
        verdict(median(firstCaller) <= 20e-6 && median(warmCaller) <= 20e-6));
    row("initialize to complete callback, first", format("%.2f ms", median(firstCallback) * 1e3),
        "<= 20 ms", verdict(median(firstCallback) <= 20e-3));
    row("initialize to complete callback, warm", format("%.2f ms", median(warmCallback) * 1e3),
        "<= 1 ms", verdict(median(warmCallback) <= 1e-3));
    for (const auto& frame : frameCalls) {
        if (frameOne.count(frame.name) == 0) {
            continue;
        }
        const auto [p50One, p99One] = percentiles(frameOne[frame.name]);
        const auto [p50Eight, p99Eight] = percentiles(frameEight[frame.name]);
        row(frame.name, format("p50 %.0f ns, p99 %.0f ns", p50One, p99One), "", "",
            format("8 threads: p50 %.0f ns, p99 %.0f ns", p50Eight, p99Eight));
    }
    for (const auto& [threads, figures] : destroys) {
        const auto label = "destroySDK under " + std::to_string(threads) + " calling threads";
        row(label.c_str(), format("p99 %.0f us", figures.p99 * 1e6), "p99 <= 5 ms",
            verdict(figures.p99 <= 5e-3),
            format("p50 %.1f us, slowest %.0f us of 200; the hosts made %.1f M calls/s",
                   figures.p50 * 1e6, figures.max * 1e6, figures.callRate / 1e6));
    }
    for (auto& backlog : backlogs) {
        if (backlog.runs.empty()) {
            continue;
        }
        const auto of = [&](double BacklogFigures::*field) {
            std::vector<double> values;
            for (const auto& figures : backlog.runs) {
                values.push_back(figures.*field);
            }
            return median(values);
        };
        const double added =
            backlog.events > 0 ? of(&BacklogFigures::queuedAdded) : of(&BacklogFigures::idleAdded);
        row(backlog.name, format("%.2f MB", added / mebibyte), "", "",
            backlog.events > 0
                ? format("%.0f admitted; idle once stored: %.2f MB, trimmed %.2f MB",
                         of(&BacklogFigures::admitted), of(&BacklogFigures::idleAdded) / mebibyte,
                         of(&BacklogFigures::idleTrimmedAdded) / mebibyte)
                : format("once trimmed %.2f MB", of(&BacklogFigures::idleTrimmedAdded) / mebibyte));
    }
    row("bare SQLite, autocommit insert", format("%.0f /s", bareAutocommit), "", "");
    row("bare SQLite, one transaction", format("%.0f /s", bareTransaction), "", "");
    for (const auto* cases : {&emptyCases, &backlogCases}) {
        if (!cases->empty()) {
            std::printf("\nresident growth by mapping, %s (one process):\n",
                        cases == &emptyCases ? "empty" : "100k stored events");
            for (const auto& part : cases->front().parts) {
                std::printf("  %s\n", part.c_str());
            }
        }
    }
    std::fflush(stdout);

    std::error_code ignored;
    std::filesystem::remove(caFile, ignored);
    URLSessionSettings::reset();
    gateway.stop();
    return 0;
}
