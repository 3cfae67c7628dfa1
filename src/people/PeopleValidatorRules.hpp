#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "events/PeopleValueType.hpp"
#include "people/PeopleReservedKeys.hpp"

namespace mvk {

/// The argument rules of the user-card calls. `method` is the public member
/// that was called; each rule logs every problem it finds. Stateless.
class PeopleValidatorRules {
  public:
    PeopleValidatorRules() = delete;

    /// The key cut to 64 characters and the value (a text cut to 255), or
    /// nothing after the cancel line.
    static std::optional<std::pair<std::string, PeopleValueType>> validateSet(
        std::string_view method, std::string_view key, const std::optional<PeopleValueType>& value);
    /// The key cut to 64 characters, or nothing after the cancel line.
    static std::optional<std::string> validateKey(std::string_view method, std::string_view key);
    /// The keys that pass, in their order, of the first
    /// `EventRecord::maxHostValues` (a longer list is cut with a line);
    /// nothing when none does. No cancel line.
    static std::optional<std::vector<std::string>> validateUnset(
        std::string_view method, const std::vector<std::string>& keys);
    /// Whether `value` has the kind the reserved key requires (logged when not).
    static bool validateReservedValueType(PeopleReservedKeys key, const PeopleValueType& value);
};

}  // namespace mvk
