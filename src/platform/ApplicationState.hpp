#pragma once

namespace mvk {

/// Where the host application stands in its life cycle.
enum class ApplicationState {
    active,
    inactive,
    background,
};

}  // namespace mvk
