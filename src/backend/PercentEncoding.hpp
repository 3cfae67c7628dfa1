#pragma once

#include <string>
#include <string_view>

namespace mvk {

/// `value` ready to stand as a query value: every byte other than the RFC 3986
/// unreserved characters (letters, digits, "-", ".", "_", "~") becomes "%XX"
/// with upper-case hex digits, so "&", "=", "#", "+" and spaces cannot change
/// the meaning of the query.
std::string percentEncodeQueryValue(std::string_view value);

}  // namespace mvk
