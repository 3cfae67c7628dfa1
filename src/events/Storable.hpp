#pragma once

#include <string>

namespace mvk {

/// An event record that can be stored or sent: its short code, its JSON text
/// and its debug text for log lines.
class Storable {
  public:
    virtual ~Storable() = default;

    virtual std::string code() const = 0;
    /// The record's compact JSON text, or "" when it cannot be encoded.
    virtual std::string getJson() const = 0;
    virtual std::string description() const = 0;
};

}  // namespace mvk
