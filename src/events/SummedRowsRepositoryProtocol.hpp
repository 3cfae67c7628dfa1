#pragma once

#include <functional>

#include "storage/UserDataRepositoryProtocol.hpp"

namespace mvk {

/// Rows that sum what the host reported until an event reports the sum. A sum
/// and the record that accounts for it (an accrual's row, a payment's event)
/// must stand or fall together, or a later event reports what no record does.
template <class Row>
class SummedRowsRepositoryProtocol : public UserDataRepositoryProtocol<Row> {
  public:
    /// Runs `body` in one transaction of this table's database, which other
    /// tables' writes inside it join: true when all of it is committed, false
    /// when none of it is (`body` answering false included). A cached row
    /// the rollback took away is forgotten.
    virtual bool transaction(const std::function<bool()>& body) = 0;
};

}  // namespace mvk
