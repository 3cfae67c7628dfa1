#pragma once

#include "state/TutorialMark.hpp"
#include "storage/UserDataRepositoryProtocol.hpp"

namespace mvk {

/// The tutorial steps already reported, per user.
/// Rows are values: the cache keeps its own copies.
class TutorialRepositoryProtocol : public UserDataRepositoryProtocol<TutorialMark> {};

}  // namespace mvk
