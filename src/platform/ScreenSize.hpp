#pragma once

#include <cstdint>

namespace mvk {

/// A screen's size in physical pixels.
struct ScreenSize {
    std::int64_t width = 0;
    std::int64_t height = 0;

    friend bool operator==(const ScreenSize&, const ScreenSize&) = default;
};

}  // namespace mvk
