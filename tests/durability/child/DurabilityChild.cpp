// The host the durability test kills: it plays numbered custom events
// through the public calls against the local gateway, until its parent
// sends SIGKILL or, in the draining mode, asks it to finish.
//
//   mvk_durability_child MODE DATA_DIR GATEWAY_URL CA_FILE CONTROL_FILE FIRST_SEQ
//
// MODE is "stream" (events until killed), "pack" (a backlog of events, then
// sendBufferedEvents, then more events until killed) or "drain" (no events;
// sendBufferedEvents now and then until the parent sets quit).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "durability/DurabilityControl.hpp"
#include "mvk/MVKAnalytics.hpp"
#include "mvk/MVKApplication.hpp"
#include "mvk/MVKEngineWrapper.hpp"
// The two test settings a host cannot reach through the public headers:
// where the data lives and which certificate to trust.
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/URLSessionSettings.hpp"
#include "support/SanitizedBuild.hpp"

namespace {

using namespace mvk;
using test::DurabilityControl;

constexpr std::int64_t packedBacklog = 2000;

void play(DurabilityControl& control, std::int64_t seq) {
    control.announced.store(seq);
    MVKCustomEventParameters parameters;
    parameters.addInt("seq", seq);
    MVKAnalytics::customEvent("durable", parameters);
}

/// About a game's pace at its busiest, so the queue never holds minutes of
/// work; a sanitized build stores several times slower.
#ifdef MVK_TEST_SANITIZED
constexpr std::int64_t eventsPerMillisecond = 4;
#else
constexpr std::int64_t eventsPerMillisecond = 20;
#endif

void pace(std::int64_t seq) {
    if (seq % eventsPerMillisecond == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool waitForStart(const DurabilityControl& control) {
    for (int waited = 0; waited < 60'000; waited += 5) {
        if (control.stage.load() >= DurabilityControl::started) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr,
                     "usage: %s stream|pack|drain DATA_DIR GATEWAY_URL CA_FILE CONTROL_FILE "
                     "FIRST_SEQ\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    auto* control = test::mapDurabilityControl(argv[5], false);
    if (control == nullptr) {
        std::perror("control file");
        return 2;
    }
    std::ifstream caFile(argv[4]);
    std::stringstream pem;
    pem << caFile.rdbuf();
    URLSessionSettings::setCaPem(pem.str());
    ApplicationSupportDirectory::setOverride(std::filesystem::path(argv[2]));

    MVKEngineWrapper::setEngineLoggerMessageClosure(
        [](MVKLogLevel, const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    MVKAnalytics::setTestProxyUrl(argv[3]);
    MVKAnalytics::setInitializationCompleteCallback(
        [control] { control->stage.store(DurabilityControl::started); });
    MVKAnalyticsConfiguration configuration;
    configuration.setLogLevel(MVKLogLevel::error);
    control->stage.store(DurabilityControl::starting);
    MVKAnalytics::initialize("durable-key", configuration);
    // Only an active application has a session, and only a session stores events.
    MVKApplication::didBecomeActive();
    if (!waitForStart(*control)) {
        std::fprintf(stderr, "start-up did not complete\n");
        return 3;
    }

    std::int64_t seq = std::strtoll(argv[6], nullptr, 10);
    if (mode == "drain") {
        while (control->quit.load() == 0) {
            MVKAnalytics::sendBufferedEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        MVKEngineWrapper::destroySDK();
        return 0;
    }
    control->stage.store(DurabilityControl::playing);
    if (mode == "pack") {
        for (const auto last = seq + packedBacklog; seq < last; ++seq) {
            play(*control, seq);
            pace(seq);
        }
        control->stage.store(DurabilityControl::packing);
        MVKAnalytics::sendBufferedEvents();
    } else if (mode != "stream") {
        return 2;
    }
    for (;; ++seq) {
        play(*control, seq);
        pace(seq);
    }
}
