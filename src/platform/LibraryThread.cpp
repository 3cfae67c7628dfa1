#include "platform/LibraryThread.hpp"

#include <pthread.h>
#include <signal.h>

#include <string>

namespace mvk {

void LibraryThread::begin(std::string_view name) {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &blocked, nullptr);

    // Thread names are limited to 15 characters; the last part of a dotted
    // name is the telling one.
    const auto dot = name.rfind('.');
    const std::string threadName =
        ("mvk-" + std::string(dot == std::string_view::npos ? name : name.substr(dot + 1)))
            .substr(0, 15);
    pthread_setname_np(pthread_self(), threadName.c_str());
}

}  // namespace mvk
