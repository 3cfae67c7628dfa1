// A small host process the process-boundary tests start with posix_spawn:
// each mode plays one way a game uses the library around its own exit.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "backend/Backend.hpp"
#include "backend/BackendConfigUrl.hpp"
#include "core/Core.hpp"
#include "events/EventRepository.hpp"
#include "foundation/Logger.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "mvk/MVKEngineWrapper.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/ProcessExit.hpp"
#include "platform/QueueManager.hpp"
#include "platform/URLSessionSettings.hpp"
#include "platform/Uuid.hpp"
#include "storage/DataFolderLock.hpp"
#include "storage/SQLiteProvider.hpp"
#include "support/SanitizedBuild.hpp"

namespace {

using namespace mvk;

// Each queue asks for the configuration again as soon as the last answer came,
// so some exchange is always under way when the main thread calls exit().
void requestBackToBack(QueueManager& queue, std::shared_ptr<Backend> backend) {
    queue.queue().addOperation([&queue, backend] {
        backend->requestConfig("process-child", Identifiers{}, Versions{});
        requestBackToBack(queue, backend);
    });
}

int exitUnderTransfers(const char* baseUrl, const char* caFile, const char* delayMillis) {
    std::ifstream file(caFile);
    std::stringstream pem;
    pem << file.rdbuf();
    URLSessionSettings::setCaPem(pem.str());
    BackendConfigUrl::setTestProxyUrl(baseUrl);
    auto backend = Backend::make();
    requestBackToBack(QueueManager::networkSerialQueue(), backend);
    requestBackToBack(QueueManager::configQueue(), backend);
    requestBackToBack(QueueManager::networkFlashQueue(), backend);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delayMillis)));
    std::exit(0);
}

/// Tells the test when `what` happens, on the monotonic clock both processes
/// read, so it times that step alone and not the start-up before it.
void mark(const char* what) {
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    std::fprintf(stderr, "%s at %lld\n", what, static_cast<long long>(now.count()));
    std::fflush(stderr);
}

void markExitBegins() {
    mark("exit begins");
}

// A game may quit from inside a callback the library runs on one of its queues.
int exitFromALibraryQueue() {
    QueueManager::incomeQueue().queue().addOperation([] {
        markExitBegins();
        std::exit(0);
    });
    std::this_thread::sleep_for(std::chrono::seconds(30));
    return 1;
}

// The library's first use of OpenSSL is random bytes on a queue thread, as
// at a first start, and the host exits while that thread still makes ids.
int exitWhileAQueueMakesIds() {
    static std::atomic<bool> making{false};
    QueueManager::incomeQueue().queue().addOperation([] {
        while (!ProcessExit::isExiting()) {
            Uuid::random();
            making.store(true);
        }
    });
    while (!making.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::exit(0);
}

// The core's teardown writes to stdout, which the test has made a pipe
// without a reader: once on a library queue, once on the host's own thread,
// which holds the last reference to a destroyed core.
int destroyWithClosedStdout() {
    MVKEngineWrapper::destroySDK();
    QueueManager::incomeQueue().waitUntilAllOperationsAreFinished();
    auto held = Core::shared();
    MVKEngineWrapper::destroySDK();
    QueueManager::incomeQueue().waitUntilAllOperationsAreFinished();
    held.reset();
    return 0;
}

// The host's own syslog settings echo every line to stderr (LOG_PERROR), so
// the test sees whether they still hold after the library has logged.
int logBesideHostSyslog() {
    unsetenv("MVK_LOG_TO_STDERR");
    openlog("mvkhost", LOG_PID | LOG_PERROR, LOG_LOCAL0);
    Logger::writeLog(MVKLogLevel::error, "library line");
    syslog(LOG_INFO, "host line");
    return 0;
}

// Stores events numbered on from what the file already holds, one per block
// on the income queue as the library stores them, until the test kills it.
int storeNumberedEvents(const char* directory) {
    ApplicationSupportDirectory::setOverride(std::filesystem::path(directory));
    auto repository = std::make_shared<EventRepository>(std::make_shared<SQLiteProvider>("kill"));
    auto& queue = QueueManager::incomeQueue().queue();
    std::int64_t next = 0;
    queue.addOperationAndWait([&] { next = repository->count(1).value_or(-1); });
    if (next < 0) {
        return 3;
    }
    for (;; ++next) {
        queue.addOperation([repository, next] {
            EventObject row("ce", -1, 1, std::to_string(next));
            if (!repository->insert(row)) {
                std::_Exit(4);
            }
        });
        // Bounded like a game's call rate, so the queue never holds minutes of work.
        while (queue.operationCount() > 2000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

/// Polls `done` every millisecond; false once `millis` have gone by.
bool waitUntil(const std::function<bool()>& done, int millis) {
    for (int waited = 0; !done(); ++waited) {
        if (waited == millis) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

/// Starts the library on `directory` with no gateway to reach and waits until
/// its start-up has run.
bool startActive(const char* directory) {
    ApplicationSupportDirectory::setOverride(std::filesystem::path(directory));
    MVKAnalytics::setTestProxyUrl("https://127.0.0.1:9");
    static std::atomic<bool> started{false};
    MVKAnalytics::setInitializationCompleteCallback([] { started.store(true); });
    MVKAnalytics::initialize("exit-key");
    MVKApplication::didBecomeActive();
    return waitUntil([] { return started.load(); }, 30'000);
}

void sendNumbered(std::int64_t from, std::int64_t to) {
    for (std::int64_t seq = from; seq < to; ++seq) {
        MVKCustomEventParameters parameters;
        parameters.addInt("seq", seq);
        MVKAnalytics::customEvent("exit", parameters);
    }
}

/// Another connection takes the database's write lock and keeps it until the
/// process ends, as another program on the same file could.
bool holdWriteLock(const char* directory) {
    static sqlite3* other = nullptr;
    const auto path = std::filesystem::path(directory) / "morvanix" / "morvanix.db";
    return sqlite3_open(path.c_str(), &other) == SQLITE_OK &&
           sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A game's last calls before it quits, with no gateway to reach: the numbered
// custom events must be in the file after the process has ended, however the
// game ends it.
int keepCallsAtExit(const char* directory, const std::string& how) {
    if (!startActive(directory)) {
        return 3;
    }
    auto& income = QueueManager::incomeQueue().queue();
    if (how == "exit-before-calls") {
        // The host's closure quits while the game's thread still calls.
        static std::atomic<bool> called{false};
        income.addOperation([] {
            while (!called.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            markExitBegins();
            std::exit(0);
        });
        sendNumbered(0, 300);
        called.store(true);
        std::this_thread::sleep_for(std::chrono::seconds(30));
        return 1;
    }
    sendNumbered(0, 300);
    if (how == "destroy") {
        MVKEngineWrapper::destroySDK();
    } else if (how == "exit-in-block") {
        // As a host closure the library runs on its queue would.
        income.addOperation([] {
            markExitBegins();
            std::exit(0);
        });
        std::this_thread::sleep_for(std::chrono::seconds(30));
        return 1;
    } else if (how == "block-past-bound") {
        income.addOperation([] { std::this_thread::sleep_for(std::chrono::seconds(10)); });
    } else if (how != "return") {
        return 2;
    }
    markExitBegins();
    return 0;
}

// A life-cycle call behind a long backlog of calls, or while another
// connection holds the database's write lock, then the game quits.
int lifeCycleCallHeldUp(const char* directory, const std::string& held, const std::string& call) {
    setenv("MVK_LOG_TO_STDERR", "1", 1);
    if (!startActive(directory)) {
        return 3;
    }
    if (held == "locked") {
        if (!holdWriteLock(directory)) {
            return 4;
        }
        sendNumbered(0, 300);
    } else if (held == "backlog") {
        sendNumbered(0, 50'000);
    } else {
        return 2;
    }
    mark("call begins");
    if (call == "willResignActive") {
        MVKApplication::willResignActive();
    } else if (call == "didEnterBackground") {
        MVKApplication::didEnterBackground();
    } else if (call == "willTerminate") {
        MVKApplication::willTerminate();
    } else {
        return 2;
    }
    mark("call returned");
    markExitBegins();
    return 0;
}

/// What a game's own teardown may do last: build parameters, send an event,
/// destroy the library and send one more.
void callTheLibraryLate(const char* where) {
    MVKCustomEventParameters parameters;
    parameters.addString("where", where);
    parameters.addInt("n", 1);
    MVKAnalytics::customEvent("late", parameters);
    MVKEngineWrapper::destroySDK();
    MVKAnalytics::customEvent("after_destroy", parameters);
}

struct LateCaller {
    const char* where;
    ~LateCaller() { callTheLibraryLate(where); }
};

bool waitForFile(const std::filesystem::path& path) {
    return waitUntil([&] { return std::filesystem::exists(path); }, 600'000);
}

// A game ends with calls from its static objects' destructors, its atexit
// handlers and its main thread's thread_local destructors, some run before
// the library's own teardown and some after it.
int callAtTeardown(const char* directory, const std::string& when) {
    static LateCaller beforeStart{"a static made before initialize"};
    std::atexit([] { callTheLibraryLate("an atexit handler added before initialize"); });
    // Made before this thread built any parameters, so destroyed after
    // whatever the library keeps for the thread.
    thread_local LateCaller threadLocal{"a thread_local"};
    (void)threadLocal;
    if (when == "started") {
        if (!startActive(directory)) {
            return 3;
        }
        for (int n = 0; n < 100; ++n) {
            callTheLibraryLate("main");
        }
    }
    static LateCaller afterStart{"a static made after initialize"};
    std::atexit([] { callTheLibraryLate("an atexit handler added after initialize"); });
    return 0;
}

// Thread pools and one-off tasks: many short-lived threads whose
// thread_local destructors are the last to call the library.
int callFromEndingThreads(const char* directory, int threads) {
    if (!startActive(directory)) {
        return 3;
    }
    constexpr int together = 8;
    for (int started = 0; started < threads; started += together) {
        std::vector<std::thread> batch;
        for (int n = 0; n < together; ++n) {
            batch.emplace_back([] {
                thread_local LateCaller last{"a thread_local of a short-lived thread"};
                (void)last;
                MVKCustomEventParameters parameters;
                parameters.addInt("seq", 1);
                MVKAnalytics::customEvent("short_lived", parameters);
            });
        }
        for (auto& thread : batch) {
            thread.join();
        }
    }
    QueueManager::incomeQueue().queue().waitUntilAllOperationsAreFinished();
    return 0;
}

// A game that earns ("accrue") or spends ("pay") currency as fast as its
// calls are stored, until it is killed.
int moveCurrency(const char* directory, const std::string& how) {
    if (!startActive(directory) || (how != "accrue" && how != "pay")) {
        return 3;
    }
    auto& income = QueueManager::incomeQueue().queue();
    mark("moving currency");
    for (std::int64_t n = 0;; ++n) {
        const std::string currency = n % 3 == 0 ? "gem" : "gold";
        if (how == "accrue") {
            MVKAnalytics::currencyAccrual(
                currency, 1 + n % 4, n % 2 == 0 ? "quest" : "shop",
                n % 5 == 0 ? MVKAccrualType::bought : MVKAccrualType::earned);
        } else {
            MVKAnalytics::virtualCurrencyPayment("item-" + std::to_string(n), "item", 1,
                                                 {{currency, 1 + n % 4}, {"coin", 1}});
        }
        // A game's pace, so that a kill finds calls in flight, not a backlog.
        while (income.operationCount() > 50) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
}

/// Whether the start-up queued so far made a working core.
bool startedNow() {
    // Until the activation has resumed the queue and the start-up has run.
    QueueManager::incomeQueue().queue().drain(std::chrono::minutes(5));
    return Core::shared()->isInitializationFinished();
}

// One of several game processes on one data folder, all starting once "go"
// appears in it. Exits 3 when its start failed; a process that started
// stores ten events, holds the folder until "release" appears, then starts
// again after destroySDK and exits 0.
int claimFolder(const char* directory) {
    setenv("MVK_LOG_TO_STDERR", "1", 1);
    const std::filesystem::path folder(directory);
    ApplicationSupportDirectory::setOverride(folder);
    MVKAnalytics::setTestProxyUrl("https://127.0.0.1:9");
    if (!waitForFile(folder / "go")) {
        return 2;
    }
    MVKAnalytics::initialize("claim-key");
    MVKApplication::didBecomeActive();
    if (!startedNow()) {
        return 3;
    }
    std::fprintf(stderr, "claim: started\n");
    std::fflush(stderr);
    for (int seq = 0; seq < 10; ++seq) {
        MVKAnalytics::customEvent("claimed");
    }
    if (!waitForFile(folder / "release")) {
        return 2;
    }
    MVKEngineWrapper::destroySDK();
    MVKAnalytics::initialize("claim-key");
    return startedNow() ? 0 : 4;
}

/// Starts the library on `directory` against the gateway at `baseUrl`, with
/// its lines on stderr; false when the start failed.
bool startOnGateway(const char* directory, const char* baseUrl, const char* caFile,
                    const std::function<void()>& beforeActivation = {}) {
    setenv("MVK_LOG_TO_STDERR", "1", 1);
    std::ifstream file(caFile);
    std::stringstream pem;
    pem << file.rdbuf();
    URLSessionSettings::setCaPem(pem.str());
    ApplicationSupportDirectory::setOverride(std::filesystem::path(directory));
    MVKAnalytics::setTestProxyUrl(baseUrl);
    MVKAnalytics::initialize("handover-key");
    if (beforeActivation) {
        beforeActivation();
    }
    MVKApplication::didBecomeActive();
    return startedNow();
}

// Stores five events that the first report carries, calls destroySDK once
// "destroy" appears (while the gateway holds that report's answer), marks
// when the stop has run, and holds on until "quit" appears.
int destroyWithAReportUnderWay(const char* directory, const char* baseUrl, const char* caFile) {
    const std::filesystem::path folder(directory);
    const bool started = startOnGateway(directory, baseUrl, caFile, [] {
        for (int n = 0; n < 5; ++n) {
            MVKCustomEventParameters parameters;
            parameters.addInt("n", n);
            MVKAnalytics::customEvent("handed-over", parameters);
        }
    });
    if (!started) {
        return 3;
    }
    MVKAnalytics::sendBufferedEvents();
    if (!waitForFile(folder / "destroy")) {
        return 2;
    }
    mark("destroy begins");
    MVKEngineWrapper::destroySDK();
    QueueManager::incomeQueue().queue().drain(std::chrono::minutes(5));
    mark("stopped");
    return waitForFile(folder / "quit") ? 0 : 2;
}

// A later run on the folder: starts, sends what is stored, and exits once
// the queues are idle.
int sendStored(const char* directory, const char* baseUrl, const char* caFile) {
    if (!startOnGateway(directory, baseUrl, caFile)) {
        return 3;
    }
    MVKAnalytics::sendBufferedEvents();
    for (int round = 0; round < 4; ++round) {
        QueueManager::incomeQueue().queue().drain(std::chrono::minutes(5));
        QueueManager::networkSerialQueue().queue().drain(std::chrono::minutes(5));
    }
    return 0;
}

// A game's ordinary quit while the report that willTerminate starts waits
// for its answer: willTerminate, destroySDK and a return from main at once.
// Each run's ten events are numbered on from the ones before.
int quitWhileSending(const char* directory, const char* baseUrl, const char* caFile, int run) {
    if (!startOnGateway(directory, baseUrl, caFile)) {
        return 3;
    }
    for (int n = 0; n < 10; ++n) {
        MVKCustomEventParameters parameters;
        parameters.addInt("n", run * 10 + n);
        MVKAnalytics::customEvent("quitting", parameters);
    }
    MVKApplication::willTerminate();
    // Until the gateway has a report of these events (the test makes the
    // file then): the report pass does not always win its race with the
    // exit, and the quit must find such a report under way.
    const auto arrived = std::filesystem::path(directory) / "report-arrived";
    waitUntil([&] { return std::filesystem::exists(arrived); }, 60'000);
    MVKEngineWrapper::destroySDK();
    markExitBegins();
    return 0;
}

void say(const char* line) {
    const auto written = ::write(STDERR_FILENO, line, std::strlen(line));
    (void)written;
}

// A host that forks a child without exec while a core owns the folder. The
// child reports whose lock the file holds, then waits for "parent-gone" and
// takes the folder itself. The parent then ends by `how`: destroySDK and a
// return from main, or a return from main alone.
//
// All the child needs is made before the fork, and until it takes the folder
// it only makes system calls: the sanitizers' allocator (clang 14) is not
// fork-safe, and a child forked while the library's threads allocate can
// hang in its first allocation. So under a sanitizer the child never takes
// the folder; the kernel's side (the lock is not the child's) is seen all
// the same.
int forkWhileHolding(const char* directory, const std::string& how) {
    const std::filesystem::path folder(directory);
    if (!startActive(directory)) {
        return 3;
    }
    const auto dataFolder = folder / "morvanix";
    const auto lockFile = dataFolder / std::string(DataFolderLock::fileName);
    const auto parentGone = folder / "parent-gone";
    int checked[2];
    if (::pipe(checked) != 0) {
        return 2;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return 2;
    }
    if (child == 0) {
        const int descriptor = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        // The lock belongs to an open file, which names no process.
        if (descriptor >= 0 && ::fcntl(descriptor, F_OFD_GETLK, &probe) == 0 &&
            probe.l_type == F_WRLCK) {
            say("child: the folder is its parent's\n");
        }
        ::close(descriptor);
        (void)!::write(checked[1], "x", 1);
        // A test that gave up removes the folder: no child outlives it.
        for (int waited = 0; ::access(parentGone.c_str(), F_OK) != 0; ++waited) {
            if (waited == 600'000 || ::access(directory, F_OK) != 0) {
                ::_exit(2);
            }
            ::usleep(1000);
        }
#ifdef MVK_TEST_SANITIZED
        ::_exit(0);
#else
        try {
            DataFolderLock own(dataFolder);
            say("child: took the folder\n");
        } catch (...) {
            say("child: was refused the folder\n");
        }
        ::_exit(0);
#endif
    }
    char byte = 0;
    (void)!::read(checked[0], &byte, 1);
    std::fprintf(stderr, "holder: forked %d\n", static_cast<int>(child));
    std::fflush(stderr);
    if (how == "destroy") {
        MVKEngineWrapper::destroySDK();
        QueueManager::incomeQueue().queue().drain(std::chrono::minutes(5));
    }
    return 0;
}

}  // namespace

// A log closure that forks on the line refusing a folder (a crash or log
// uploader), and then a start on another folder.
int forkOnRefusal(const char* directory) {
    const std::filesystem::path base(directory);
    std::filesystem::create_directories(base / "held");
    std::filesystem::create_directories(base / "other");
    try {
        DataFolderLock held(base / "held");
        Logger::setEngineLoggerMessageClosure([](MVKLogLevel, const std::string& line) {
            if (line.find(" is in use ") != std::string::npos) {
                const pid_t uploader = ::fork();
                if (uploader == 0) {
                    ::_exit(0);
                }
                ::waitpid(uploader, nullptr, 0);
                say("refusal: forked\n");
            }
        });
        try {
            DataFolderLock second(base / "held");
            return 4;
        } catch (const std::system_error&) {
        }
        DataFolderLock other(base / "other");
        return 0;
    } catch (...) {
        return 3;
    }
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit-under-transfers" && argc == 5) {
        return exitUnderTransfers(argv[2], argv[3], argv[4]);
    }
    if (mode == "exit-from-queue") {
        return exitFromALibraryQueue();
    }
    if (mode == "exit-making-ids") {
        return exitWhileAQueueMakesIds();
    }
    if (mode == "closed-stdout") {
        return destroyWithClosedStdout();
    }
    if (mode == "host-syslog") {
        return logBesideHostSyslog();
    }
    if (mode == "store-numbered" && argc == 3) {
        return storeNumberedEvents(argv[2]);
    }
    if (mode == "keep-calls" && argc == 4) {
        return keepCallsAtExit(argv[2], argv[3]);
    }
    if (mode == "life-cycle" && argc == 5) {
        return lifeCycleCallHeldUp(argv[2], argv[3], argv[4]);
    }
    if (mode == "call-at-teardown" && argc == 4) {
        return callAtTeardown(argv[2], argv[3]);
    }
    if (mode == "call-from-ending-threads" && argc == 4) {
        return callFromEndingThreads(argv[2], std::atoi(argv[3]));
    }
    if (mode == "claim-folder" && argc == 3) {
        return claimFolder(argv[2]);
    }
    if (mode == "report-under-way" && argc == 5) {
        return destroyWithAReportUnderWay(argv[2], argv[3], argv[4]);
    }
    if (mode == "quit-sending" && argc == 6) {
        return quitWhileSending(argv[2], argv[3], argv[4], std::atoi(argv[5]));
    }
    if (mode == "send-stored" && argc == 5) {
        return sendStored(argv[2], argv[3], argv[4]);
    }
    if (mode == "fork-holder" && argc == 4) {
        return forkWhileHolding(argv[2], argv[3]);
    }
    if (mode == "fork-on-refusal" && argc == 3) {
        return forkOnRefusal(argv[2]);
    }
    if (mode == "move-currency" && argc == 4) {
        return moveCurrency(argv[2], argv[3]);
    }
    std::fprintf(
        stderr,
        "usage: %s exit-under-transfers URL CA_FILE DELAY_MS | exit-from-queue | "
        "exit-making-ids | closed-stdout | host-syslog | store-numbered DIRECTORY | "
        "keep-calls DIRECTORY return|destroy|exit-in-block|exit-before-calls|block-past-bound | "
        "life-cycle DIRECTORY backlog|locked willResignActive|didEnterBackground|"
        "willTerminate | "
        "call-at-teardown DIRECTORY started|never | "
        "call-from-ending-threads DIRECTORY THREADS | "
        "claim-folder DIRECTORY | report-under-way DIRECTORY URL CA_FILE | "
        "quit-sending DIRECTORY URL CA_FILE RUN | "
        "send-stored DIRECTORY URL CA_FILE | fork-holder DIRECTORY destroy|exit | "
        "fork-on-refusal DIRECTORY | "
        "move-currency DIRECTORY accrue|pay\n",
        argv[0]);
    return 2;
}
