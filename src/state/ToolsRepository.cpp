#include "state/ToolsRepository.hpp"

namespace mvk {

ContentValues ToolsRepository::columns(const SdkTools& tools) {
    return tools.contentValues();
}

}  // namespace mvk
