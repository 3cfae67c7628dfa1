#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "mvk/Export.hpp"

namespace mvk {

/// A text argument that may be absent. It takes a `std::string`, a literal,
/// a `const char*` (a null pointer is absent and never read), `nullptr`,
/// `std::nullopt`, `{}` or a `std::optional<std::string>`; a null text cannot
/// throw in the host's own code on its way in, as it would building a string.
class MVK_EXPORT MVKOptionalText {
  public:
    MVKOptionalText() noexcept = default;
    MVKOptionalText(std::nullopt_t) noexcept {}  // NOLINT(google-explicit-constructor)
    MVKOptionalText(std::nullptr_t) noexcept {}  // NOLINT(google-explicit-constructor)
    MVKOptionalText(const char* text);           // NOLINT(google-explicit-constructor)
    MVKOptionalText(std::string text) noexcept   // NOLINT(google-explicit-constructor)
        : value_(std::move(text)) {}
    MVKOptionalText(std::optional<std::string> text) noexcept  // NOLINT
        : value_(std::move(text)) {}

    const std::optional<std::string>& value() const& noexcept { return value_; }
    std::optional<std::string> value() && noexcept { return std::move(value_); }

  private:
    std::optional<std::string> value_;
};

}  // namespace mvk
