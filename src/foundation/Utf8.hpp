#pragma once

#include <string>
#include <string_view>

namespace mvk {

/// Text entering from the host or from files is made valid UTF-8 before the
/// rest of the library, and every JSON writer, sees it.
class Utf8 {
  public:
    Utf8() = delete;

    static bool isValid(std::string_view text);
    /// `text` with every invalid sequence replaced by U+FFFD.
    static std::string sanitized(std::string_view text);
};

}  // namespace mvk
