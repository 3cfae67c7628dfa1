#pragma once

#include "backend/EncodableValue.hpp"
#include "records/Identifiers.hpp"

namespace mvk {

/// One gateway request's payload: the JSON body and the identity sent as headers.
struct BackendMessage {
    EncodableValue data{};
    Identifiers identifiers{};
};

}  // namespace mvk
