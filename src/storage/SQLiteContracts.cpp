#include "storage/SQLiteContracts.hpp"

namespace mvk {

const std::vector<std::vector<std::string_view>>& SQLiteContracts::map() {
    static const std::vector<std::vector<std::string_view>> groups = {
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
    return groups;
}

}  // namespace mvk
