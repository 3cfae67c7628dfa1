#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "support/SanitizedBuild.hpp"

namespace mvk::test {

/// How much longer than in the optimised build anything takes here: a
/// sanitizer build runs 10–40 times slower, and CI may have two busy cores.
/// MVK_TEST_TIME_SCALE multiplies it further for a slower machine.
inline double timeScale() {
#ifdef MVK_TEST_SANITIZED
    double scale = 20;
#else
    double scale = 1;
#endif
    if (const char* extra = std::getenv("MVK_TEST_TIME_SCALE")) {
        const double factor = std::atof(extra);
        if (factor >= 1) {
            scale *= factor;
        }
    }
    return scale;
}

/// A limit a test gives up at: long enough on a fast idle machine, scaled for
/// this build. Tests wait for the thing itself; this only ends a wait that
/// would otherwise hang the suite.
template <class Rep, class Period>
std::chrono::milliseconds patience(std::chrono::duration<Rep, Period> onAFastMachine) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(onAFastMachine * timeScale());
}

/// Polls `done` every `interval` until it holds; false once `limit` has been
/// spent. Each poll is charged at most `longestPoll`, however long it really
/// took: a machine paused in between (a suspended virtual machine) wakes with
/// every clock moved on, and the other side must get its turn to run before
/// the wait may give up.
template <class Done>
bool pollUntil(Done&& done, std::chrono::milliseconds limit,
               std::chrono::milliseconds interval = std::chrono::milliseconds(1)) {
    constexpr auto longestPoll = std::chrono::milliseconds(100);
    std::chrono::steady_clock::duration spent{};
    auto last = std::chrono::steady_clock::now();
    while (!done()) {
        if (spent >= limit) {
            return false;
        }
        std::this_thread::sleep_for(interval);
        const auto now = std::chrono::steady_clock::now();
        spent += std::min<std::chrono::steady_clock::duration>(now - last, longestPoll);
        last = now;
    }
    return true;
}

/// How long a test waits for a queue to run dry before it fails.
inline std::chrono::milliseconds drainLimit() {
    return patience(std::chrono::seconds(30));
}

}  // namespace mvk::test
