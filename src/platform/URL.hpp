#pragma once

#include <optional>
#include <string>

namespace mvk {

/// An absolute URL that parsed: a scheme, a host and whatever follows. The
/// text is kept as it was given.
class URL {
  public:
    /// Nothing when `text` is not an absolute URL with a host (spaces and
    /// control characters are refused, nothing is escaped on the way).
    static std::optional<URL> fromString(const std::string& text);

    const std::string& absoluteString() const { return text_; }
    /// Lower case, e.g. "https".
    const std::string& scheme() const { return scheme_; }
    const std::string& host() const { return host_; }

  private:
    URL(std::string text, std::string scheme, std::string host);

    std::string text_;
    std::string scheme_;
    std::string host_;
};

}  // namespace mvk
