#pragma once

#include <exception>

namespace mvk {

/// Raised when SQL text holds no statement at all (empty or only comments).
class EmptyStatementError : public std::exception {
  public:
    const char* description() const {
        return "EmptyStatementError: the SQL text holds no statement";
    }
    const char* what() const noexcept override { return description(); }
};

}  // namespace mvk
