#pragma once

#include <memory>

#include "records/PeopleCard.hpp"
#include "storage/UserDataRepositoryProtocol.hpp"

namespace mvk {

/// The user cards, one per user. Only a card's `json` text is stored, not its
/// `properties`.
/// Rows are shared with the callers, which change them in place and then
/// call `update`.
class PeopleRepositoryProtocol : public UserDataRepositoryProtocol<std::shared_ptr<PeopleCard>> {};

}  // namespace mvk
