#include "storage/ReportsRepository.hpp"

namespace mvk {

ContentValues ReportsRepository::columns(const Report& report) {
    return report.contentValues();
}

}  // namespace mvk
