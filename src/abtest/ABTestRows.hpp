#pragma once

#include <optional>
#include <vector>

namespace mvk {

/// Every row of a repository's table, from its row cache. None stands for a
/// failed read: the A/B services then change nothing, since treating it as
/// "no rows" would insert rows twice or delete what is stored. Every read of
/// the A/B services goes through here.
template <class Repository>
std::optional<std::vector<typename Repository::Item>> readRows(Repository& repository) {
    return repository.list();
}

}  // namespace mvk
