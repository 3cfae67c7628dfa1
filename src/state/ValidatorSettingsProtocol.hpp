#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "foundation/AnyCodable.hpp"

namespace mvk {

/// The two settings the validation of public calls takes from the project's
/// configuration: the excluded argument values per event code, and how many
/// currencies an event may name.
class ValidatorSettingsProtocol {
  public:
    using ExcludedOptions = std::map<std::string, AnyCodable::Array>;

    virtual ~ValidatorSettingsProtocol() = default;

    virtual void setExcludedOptions(std::optional<ExcludedOptions> excludedOptions) = 0;
    virtual void setNumberOfCurrencies(std::int64_t numberOfCurrencies) = 0;
};

}  // namespace mvk
