#include "storage/SQLiteContracts.hpp"

namespace mvk {

const std::vector<std::vector<std::string_view>>& SQLiteContracts::map() {
    // Never destroyed: a queue thread may still open a database while the process exits.
    static const auto* groups = new std::vector<std::vector<std::string_view>>{
        {
            createTableProjects,
            createTableUsers,
            createTableEvents,
            createTableReports,
            createTableLevelResources,
            createTableCurrencyAccrualResources,
            createTableDeviceIdentifiers,
            createTableRealPaymentMarks,
            createTableTutorialMarks,
            createPeopleCardEntry,
            createTableMessagingCategory,
            createTableSdkTools,
        },
        {
            createTableSubscriptions,
            updateTableDeviceIdentifiers,
        },
        {
            createTableABTestsProject,
            createTableABTestExperiments,
            createTableABTestExperimentsState,
        },
    };
    return *groups;
}

}  // namespace mvk
