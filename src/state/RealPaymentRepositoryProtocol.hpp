#pragma once

#include "state/RealPaymentMark.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The payment order ids already reported, per project.
/// Rows are values: the cache keeps its own copies.
class RealPaymentRepositoryProtocol : public RepositoryProtocol<RealPaymentMark> {};

}  // namespace mvk
