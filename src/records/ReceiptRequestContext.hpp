#pragma once

#include <optional>
#include <string>

#include "records/Identifiers.hpp"

namespace mvk {

/// What a receipt verification needs of the library's state, read on the
/// income queue when the verification is accepted, so that the sending block
/// never reads state the income queue may be changing.
struct ReceiptRequestContext {
    std::string applicationKey{};
    Identifiers identifiers{};
    /// The application's bundle identifier as the host set it; none without one.
    std::optional<std::string> bundle{};
};

}  // namespace mvk
