// A small host process the process-boundary tests start with posix_spawn:
// each mode plays one way a game uses the library around its own exit.
#include <syslog.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "foundation/Logger.hpp"
#include "foundation/QueueManager.hpp"
#include "mvk/MVKEngineWrapper.hpp"

namespace {

using namespace mvk;

// The core's teardown runs on a library queue and writes to stdout, which the
// test has made a pipe without a reader.
int destroyWithClosedStdout() {
    MVKEngineWrapper::destroySDK();
    QueueManager::incomeQueue().waitUntilAllOperationsAreFinished();
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

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "closed-stdout") {
        return destroyWithClosedStdout();
    }
    if (mode == "host-syslog") {
        return logBesideHostSyslog();
    }
    std::fprintf(stderr, "usage: %s closed-stdout | host-syslog\n", argv[0]);
    return 2;
}
