#pragma once

#include "events/LevelResource.hpp"
#include "storage/UserDataRepositoryProtocol.hpp"

namespace mvk {

/// The resources of each user's current level, summed until the next level-up.
/// Rows are values: the cache keeps its own copies.
class LevelResourcesRepositoryProtocol : public UserDataRepositoryProtocol<LevelResource> {};

}  // namespace mvk
