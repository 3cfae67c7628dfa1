#pragma once

#include <optional>
#include <string>

#include "platform/URL.hpp"

namespace mvk {

class UrlProtocol {
  public:
    virtual ~UrlProtocol() = default;

    /// The URL of the full URL text, or nothing when that text is not a valid URL.
    virtual std::optional<URL> getUrl() const = 0;
    /// The full URL text, valid or not: what a failure line names.
    virtual std::string text() const = 0;
};

}  // namespace mvk
