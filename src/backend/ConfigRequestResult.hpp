#pragma once

#include "records/Config.hpp"

namespace mvk {

/// The answer to a configuration request: always a usable configuration,
/// flagged when it is the built-in default rather than the gateway's.
struct ConfigRequestResult {
    Config config{};
    bool isDefault = true;

    friend bool operator==(const ConfigRequestResult&, const ConfigRequestResult&) = default;
};

}  // namespace mvk
