#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "mvk/Export.hpp"

namespace mvk {

/// A key of the referrer data. Two properties with the same name are the same
/// key, so a preset and a property made from its name address one entry.
class MVK_EXPORT MVKReferralProperty {
  public:
    /// Any name; an invalid UTF-8 sequence becomes U+FFFD.
    explicit MVKReferralProperty(const std::string& name) noexcept;

    /// The five presets, each made once and kept for the life of the process.
    static const MVKReferralProperty& source() noexcept;
    static const MVKReferralProperty& campaign() noexcept;
    static const MVKReferralProperty& content() noexcept;
    static const MVKReferralProperty& medium() noexcept;
    static const MVKReferralProperty& term() noexcept;

    const std::string& name() const noexcept { return name_; }

    /// "name: " followed by the name.
    std::string description() const noexcept;

    friend bool operator==(const MVKReferralProperty& lhs,
                           const MVKReferralProperty& rhs) noexcept {
        return lhs.name_ == rhs.name_;
    }

  private:
    std::string name_;
};

}  // namespace mvk

template <>
struct std::hash<mvk::MVKReferralProperty> {
    std::size_t operator()(const mvk::MVKReferralProperty& property) const noexcept {
        return std::hash<std::string>{}(property.name());
    }
};
