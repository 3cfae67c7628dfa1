#pragma once

#include "events/LevelResource.hpp"
#include "events/SummedRowsRepositoryProtocol.hpp"

namespace mvk {

/// The resources of each user's current level, summed until the next level-up.
/// Rows are values: the cache keeps its own copies.
class LevelResourcesRepositoryProtocol : public SummedRowsRepositoryProtocol<LevelResource> {};

}  // namespace mvk
