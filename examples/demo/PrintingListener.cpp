#include "PrintingListener.hpp"

#include "Console.hpp"

namespace demo {

void PrintingListener::onReceivedResult(mvk::MVKRemoteConfigReceiveResult result) {
    say("  [listener] experiments configuration received: " +
        std::string(mvk::description(result)));
    received.set(result);
}

void PrintingListener::onPrepareToChange() {
    say("  [listener] an experiment fits the player; a group is asked for");
}

void PrintingListener::onChangedResult(mvk::MVKRemoteConfigChangeResult result,
                                       const std::optional<std::string>& error) {
    say("  [listener] the group's configuration: " + std::string(mvk::description(result)) +
        (error ? " (" + *error + ")" : ""));
    changed.set(result);
}

}  // namespace demo
