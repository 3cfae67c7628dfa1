#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace mvk {

/// UUID texts in the form the rest of the library stores and sends:
/// 8-4-4-4-12 upper-case hexadecimal digits.
class Uuid {
  public:
    using Bytes = std::array<std::uint8_t, 16>;

    Uuid() = delete;

    /// A random (version 4) UUID from the system's secure random source.
    static std::string random();
    /// `bytes` with the given version and the RFC variant stamped in.
    static std::string format(Bytes bytes, int version);
    /// Any case is accepted; nothing else may surround the 36 characters.
    static bool isValid(std::string_view text);
};

}  // namespace mvk
