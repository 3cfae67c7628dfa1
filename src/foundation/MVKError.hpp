#pragma once

#include <exception>
#include <optional>
#include <string>

namespace mvk {

/// The library's one error type: a failure text handed to completions and
/// listeners. It is also throwable inside the library (never across the API).
class MVKError : public std::exception {
  public:
    explicit MVKError(std::string description) : description_(std::move(description)) {}

    const std::string& description() const { return description_; }
    const std::string& errorDescription() const { return description_; }
    std::optional<std::string> failureReason() const { return std::nullopt; }
    std::optional<std::string> recoverySuggestion() const { return std::nullopt; }
    std::optional<std::string> helpAnchor() const { return std::nullopt; }

    const char* what() const noexcept override { return description_.c_str(); }

  private:
    std::string description_;
};

}  // namespace mvk
