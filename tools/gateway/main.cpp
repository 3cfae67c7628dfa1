// Runs the local HTTPS gateway with good answers for every endpoint, for the
// demo and for trying the library by hand:
//
//   mvk-gateway --ca-out /tmp/gateway-ca.pem [--seconds N]
//
// It prints its base URL, writes the certificate to trust to the given path,
// prints every request it gets, and stops on SIGINT, SIGTERM or after N seconds.

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>

#include "gateway/CannedAnswers.hpp"
#include "gateway/Gateway.hpp"

namespace {

int usage() {
    std::cerr << "usage: mvk-gateway --ca-out PATH [--seconds N]\n";
    return 2;
}

void printRequest(const mvk::gateway::RecordedRequest& request) {
    static std::mutex output;
    std::lock_guard lock(output);
    std::cout << request.method << ' ' << request.path;
    if (!request.query.empty()) {
        std::cout << '?' << request.query;
    }
    std::cout << '\n';
    for (const auto& [name, value] : request.headers) {
        std::cout << "  " << name << ": " << value << '\n';
    }
    std::cout << "  " << request.body << '\n' << std::flush;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> caPath;
    std::optional<long> seconds;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--ca-out" && i + 1 < argc) {
            caPath = argv[++i];
        } else if (argument == "--seconds" && i + 1 < argc) {
            char* end = nullptr;
            seconds = std::strtol(argv[++i], &end, 10);
            if (end == nullptr || *end != '\0' || *seconds <= 0) {
                return usage();
            }
        } else {
            return usage();
        }
    }
    if (!caPath) {
        return usage();
    }

    // Wait for the stop signals synchronously instead of in a handler. A shell
    // starts background jobs with SIGINT ignored, which would make it undeliverable.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        mvk::gateway::Gateway gateway;
        for (auto& [path, answer] : mvk::gateway::cannedAnswers()) {
            gateway.setAnswer(path, std::move(answer));
        }
        gateway.setRequestObserver(printRequest);

        std::ofstream ca(*caPath, std::ios::binary | std::ios::trunc);
        ca << gateway.caPem();
        if (!ca.flush()) {
            std::cerr << "mvk-gateway: cannot write " << *caPath << '\n';
            return 1;
        }
        ca.close();
        std::cout << gateway.baseUrl() << '\n' << std::flush;

        if (seconds) {
            timespec timeout{*seconds, 0};
            sigtimedwait(&stopSignals, nullptr, &timeout);
        } else {
            int received = 0;
            sigwait(&stopSignals, &received);
        }
        gateway.stop();
    } catch (const std::exception& e) {
        std::cerr << "mvk-gateway: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
