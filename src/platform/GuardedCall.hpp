#pragma once

#include <exception>
#include <string>
#include <string_view>

#include "foundation/Logger.hpp"

namespace mvk {

/// Runs `work` so that nothing it throws leaves a library thread or reaches the
/// host: an escaped exception would end the game through std::terminate.
/// A failure is logged at level 2 as "<context> has failed[: <what>]".
template <typename Work>
void callGuarded(std::string_view context, Work&& work) noexcept {
    try {
        work();
    } catch (const std::exception& error) {
        try {
            Logger::writeLog(MVKLogLevel::error,
                             std::string(context) + " has failed: " + error.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            Logger::writeLog(MVKLogLevel::error, std::string(context) + " has failed");
        } catch (...) {
        }
    }
}

}  // namespace mvk
