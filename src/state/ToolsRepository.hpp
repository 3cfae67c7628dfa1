#pragma once

#include "storage/Repository.hpp"
#include "storage/SQLiteContracts.hpp"
#include "state/ToolsRepositoryProtocol.hpp"

namespace mvk {

class ToolsRepository final : public Repository<ToolsRepository, ToolsRepositoryProtocol> {
  public:
    using Entry = SQLiteContracts::SdkToolsEntry;
    using Repository::Repository;

    static ContentValues columns(const SdkTools& tools);
};

}  // namespace mvk
