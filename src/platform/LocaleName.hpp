#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mvk {

/// The language, region and currency keyword of a locale name such as
/// "en_US.UTF-8@euro", "pt_BR", "en-GB", "de_AT@currency=EUR", "sr_Latn_RS"
/// (a script before the region) or "en_US_POSIX" (a variant after it). "C"
/// and "POSIX" name no language.
class LocaleName {
  public:
    static LocaleName parse(std::string_view name);

    /// Lower-case; nothing for C, POSIX or an unreadable name.
    const std::optional<std::string>& language() const { return language_; }
    /// Upper-case letters or three digits; empty when the name has none.
    const std::string& region() const { return region_; }
    /// The value of a "currency=" keyword after "@", upper-case; empty when
    /// the name has none.
    const std::string& currency() const { return currency_; }

  private:
    std::optional<std::string> language_;
    std::string region_;
    std::string currency_;
};

}  // namespace mvk
