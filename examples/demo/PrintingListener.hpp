#pragma once

#include <optional>
#include <string>

#include "Signal.hpp"
#include "mvk/MVKRemoteConfigListener.hpp"

namespace demo {

/// The game's view of its experiments: prints every call and lets the game
/// wait until the experiments are known (an event can only fit one after
/// that) and until an offered group is ready to apply.
class PrintingListener final : public mvk::MVKRemoteConfigListener {
  public:
    void onReceivedResult(mvk::MVKRemoteConfigReceiveResult result) override;
    void onPrepareToChange() override;
    void onChangedResult(mvk::MVKRemoteConfigChangeResult result,
                         const std::optional<std::string>& error) override;

    Signal<mvk::MVKRemoteConfigReceiveResult> received;
    Signal<mvk::MVKRemoteConfigChangeResult> changed;
};

}  // namespace demo
