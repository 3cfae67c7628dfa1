#pragma once

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "analytics/Validator.hpp"
#include "analytics/ValidatorRules.hpp"
#include "support/LogCapture.hpp"

namespace mvk::test {

using Lines = std::vector<std::string>;

inline const double inf = std::numeric_limits<double>::infinity();
inline const double nan = std::numeric_limits<double>::quiet_NaN();

/// A captured error line of `method`'s uniform shape.
inline std::string error(const std::string& method, const std::string& detail) {
    return "ERROR In the " + method + " method an error has occurred: \n\t" + detail;
}
inline std::string canceled(const std::string& method) {
    return "ERROR Execution of the " + method + " method was canceled!";
}
inline std::string truncated(const std::string& method, const std::string& argument,
                             const std::string& text, int max) {
    return "WARNING In the " + method + " method an error has occurred:\n\t" + argument + ": " +
           text + " is longer than it is permitted.\n\tThe string was truncated to '" +
           std::to_string(max) + "'!";
}

/// Every test starts from a fresh process's settings and empty currency lists.
class ValidationTest : public ::testing::Test {
  protected:
    ValidationTest() { reset(); }
    ~ValidationTest() override { reset(); }
    static void reset() {
        Validator::resetSettingsForTesting();
        ValidatorRules::clearCurrencyValidators();
    }

    LogCapture log{MVKLogLevel::debug};
};

}  // namespace mvk::test
