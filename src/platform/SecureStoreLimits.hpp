#pragma once

#include <cstddef>
#include <string_view>

#include "foundation/Utf8.hpp"

namespace mvk {

/// What a secure store keeps. Identifiers are short texts; anything much longer
/// is damage or misuse and is read as missing rather than trusted.
struct SecureStoreLimits {
    static constexpr std::size_t maxAccountBytes = 256;
    static constexpr std::size_t maxValueBytes = 4096;

    static bool allows(std::string_view account, std::string_view value) {
        return !account.empty() && account.size() <= maxAccountBytes &&
               value.size() <= maxValueBytes && Utf8::isValid(account) && Utf8::isValid(value);
    }
};

}  // namespace mvk
