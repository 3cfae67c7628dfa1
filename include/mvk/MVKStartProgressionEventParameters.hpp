#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

#include "mvk/Export.hpp"
#include "mvk/MVKOptionalText.hpp"

namespace mvk {

struct MVKStartProgressionEventParametersLocal;

/// Options of a progression start. The library copies them at the call.
class MVK_EXPORT MVKStartProgressionEventParameters {
  public:
    MVKStartProgressionEventParameters() = default;

    /// Write-only: the difficulty is read back only through the copy.
    void setDifficulty(std::int64_t difficulty) noexcept { difficulty_ = difficulty; }
    /// A fraction would be cut silently.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    void setDifficulty(Fraction) = delete;

    const std::optional<std::string>& source() const noexcept { return source_; }
    /// An invalid UTF-8 sequence becomes U+FFFD; absent clears it.
    void setSource(MVKOptionalText source) noexcept;

    /// "difficulty: D\n" and "source: S", each only when set; empty for a new object.
    std::string description() const noexcept;

  private:
    friend struct MVKStartProgressionEventParametersLocal;

    std::optional<std::int64_t> difficulty_;
    std::optional<std::string> source_;
};

}  // namespace mvk
