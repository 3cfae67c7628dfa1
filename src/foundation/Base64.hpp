#pragma once

#include <string>
#include <string_view>

namespace mvk {

/// Standard base64 (RFC 4648 alphabet, "=" padding, no line breaks) of the bytes.
std::string base64Encode(std::string_view bytes);

}  // namespace mvk
