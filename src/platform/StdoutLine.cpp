#include "platform/StdoutLine.hpp"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <ctime>
#include <string>

namespace mvk {

void StdoutLine::write(std::string_view line) {
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t previousMask;
    if (pthread_sigmask(SIG_BLOCK, &pipeOnly, &previousMask) != 0) {
        return;
    }
    // A SIGPIPE already pending belongs to someone else and is left alone.
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool wasPending = sigismember(&pendingBefore, SIGPIPE) == 1;

    std::string text(line);
    text += '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);

    if (!wasPending) {
        sigset_t pendingAfter;
        sigpending(&pendingAfter);
        if (sigismember(&pendingAfter, SIGPIPE) == 1) {
            // Raised by our own write: take it off this thread before the
            // mask is restored, so the host never sees it.
            const timespec noWait{0, 0};
            sigtimedwait(&pipeOnly, nullptr, &noWait);
        }
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
}

}  // namespace mvk
