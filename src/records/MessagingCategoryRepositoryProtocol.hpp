#pragma once

#include "records/MessagingCategory.hpp"
#include "storage/RepositoryProtocol.hpp"

namespace mvk {

/// The push-notification categories last received from the gateway.
/// Rows are values: the cache keeps its own copies.
class MessagingCategoryRepositoryProtocol : public RepositoryProtocol<MessagingCategory> {};

}  // namespace mvk
