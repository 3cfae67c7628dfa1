#include "abtest/UserConfigService.hpp"

#include <charconv>
#include <cmath>
#include <locale>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

#include "abtest/ABTestRows.hpp"
#include "foundation/Logger.hpp"
#include "foundation/StringExtensions.hpp"

namespace mvk {

namespace {

/// The whole text as a number of type T; a leading "+" is allowed, as for a
/// signed decimal, but no white space and nothing left over.
template <class T>
std::optional<T> readNumber(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    T value{};
    if constexpr (std::is_floating_point_v<T>) {
        // Not `from_chars`: some standard libraries a game engine brings
        // (libc++ before 17) have it for integers only. The classic locale
        // keeps "." the decimal point whatever locale the host set, and
        // `noskipws` refuses leading white space as `from_chars` does.
        std::istringstream stream{std::string(text)};
        stream.imbue(std::locale::classic());
        stream >> std::noskipws >> value;
        if (stream.fail() || stream.peek() != std::char_traits<char>::eof() ||
            !std::isfinite(value)) {
            return std::nullopt;
        }
        return value;
    } else {
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (error != std::errc() || stop != end) {
            return std::nullopt;
        }
        return value;
    }
}

}  // namespace

UserConfigService::UserConfigService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<ABTestManagerProtocol> abTestManager,
    std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository,
    std::shared_ptr<ABTestDefaultParamsCache> abTestDefaultParamsCache)
    : stateManager_(std::move(stateManager)),
      abTestManager_(std::move(abTestManager)),
      experiments_(std::move(abTestsExperimentRepository)),
      abTestDefaultParamsCache_(std::move(abTestDefaultParamsCache)) {}

std::optional<MVKRemoteConfigDefault> UserConfigService::castValue(
    const std::optional<MVKRemoteConfigDefault>& original, std::string_view remote) {
    if (!original) {
        return std::nullopt;
    }
    return std::visit(
        [remote](const auto& kind) -> std::optional<MVKRemoteConfigDefault> {
            using Kind = std::decay_t<decltype(kind)>;
            if constexpr (std::is_same_v<Kind, bool>) {
                return stringToBool(remote);
            } else if constexpr (std::is_same_v<Kind, std::string>) {
                return std::string(remote);
            } else {
                return readNumber<Kind>(remote);
            }
        },
        *original);
}

bool UserConfigService::toRemoteConfigParameters(const ExperimentMarker& marker) {
    const auto defaults = abTestDefaultParamsCache_->savedDefaults();
    if (defaults.empty()) {
        Logger::writeLog(MVKLogLevel::error,
                         "[A/B-Test Module] Default parameters is empty, the start of the "
                         "experiment is impossible");
        return false;
    }
    auto project = stateManager_->getActiveProject();
    auto rows = readRows(*experiments_);
    if (!project || !rows) {
        return false;
    }
    std::shared_ptr<ABTestsExperiment> experiment;
    for (const auto& row : *rows) {
        if (row->projectId == project->idKey && row->experimentId == marker.idKey) {
            experiment = row;
            break;
        }
    }
    if (!experiment) {
        return true;
    }

    MVKRemoteConfigParameters result;
    bool ok = true;
    for (const auto& parameter : experiment->parameters) {
        auto value = parameter.values.find(marker.group);
        if (value == parameter.values.end() || !value->second.isString()) {
            continue;
        }
        auto found = defaults.find(parameter.key);
        auto converted =
            castValue(found != defaults.end() ? std::optional(found->second) : std::nullopt,
                      *value->second.asString());
        if (!converted) {
            Logger::writeLog(MVKLogLevel::error, "[A/B-Test Module] Remote value for the key [" +
                                                     parameter.key +
                                                     "] can't be cast to default value type!");
            ok = false;
            continue;
        }
        result.insert_or_assign(parameter.key, std::move(*converted));
    }
    abTestManager_->setConfig(std::move(result));
    return ok;
}

void UserConfigService::clearRemoteConfigParameters() {
    abTestManager_->setConfig({});
}

MVKRemoteConfigParameters UserConfigService::getUserConfig() {
    return abTestManager_->config();
}

}  // namespace mvk
