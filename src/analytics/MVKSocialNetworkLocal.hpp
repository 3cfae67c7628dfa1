#pragma once

#include <string>

#include "mvk/MVKSocialNetwork.hpp"

namespace mvk {

/// A social network as a value taken at the public call.
struct MVKSocialNetworkLocal {
    std::string name;

    static MVKSocialNetworkLocal from(const MVKSocialNetwork& network) {
        return {.name = network.name()};
    }

    /// "name: " followed by the name.
    std::string description() const { return "name: " + name; }
};

}  // namespace mvk
