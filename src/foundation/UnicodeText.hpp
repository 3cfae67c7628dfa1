#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mvk {

/// Text measures in user-perceived characters (extended grapheme clusters),
/// never bytes, over valid UTF-8. A byte that is not valid UTF-8 counts as a
/// character of its own and is never split.
class UnicodeText {
  public:
    UnicodeText() = delete;

    /// `text` without the code points of the general categories Cc and Cf.
    static std::string removingControlCharacters(std::string_view text);
    static std::size_t characterCount(std::string_view text);
    /// `characterCount(text)`, but it stops counting at `limit`: a check
    /// against a bound costs the bound, not the length of a hostile text.
    static std::size_t characterCount(std::string_view text, std::size_t limit);
    /// `text` whole when it has at most `maxBytes` bytes; else its longest
    /// prefix of whole characters within them, followed by "... (N bytes)".
    /// For log lines, which must not copy a megabyte argument.
    static std::string abbreviated(std::string_view text, std::size_t maxBytes);
    /// The first `count` characters of `text`.
    static std::string_view prefix(std::string_view text, std::size_t count);
};

}  // namespace mvk
