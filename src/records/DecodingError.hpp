#pragma once

#include <string>
#include <string_view>

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

/// The texts that say why a gateway answer did not decode; they end up in
/// log lines and in the identification result.
class DecodingError {
  public:
    DecodingError() = delete;

    /// "<type>: expected a JSON object" or "<type>: the value of "<key>" is
    /// missing or has the wrong type", into `error` when it is given.
    static void describe(const JsonObjectReader& reader, std::string_view type, std::string* error);
    /// "<type>: the answer does not have the expected form", into `error` when given.
    static void describe(std::string_view type, std::string* error);

    /// The answer has no body at all.
    static std::string noBody();
    /// The body is not JSON; `reason` is the parser's.
    static std::string notJson(std::string_view reason);
};

}  // namespace mvk
