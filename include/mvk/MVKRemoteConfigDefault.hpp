#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace mvk {

/// A remote-configuration value as the host gives its defaults and reads the
/// applied values back. The kind of a default decides how the gateway's text
/// for the same key is read, so every kind the conversion tells apart is its
/// own alternative; platform-width integers are 64-bit and share that one.
///
/// A string literal becomes a text, never a bool (the converting constructor
/// does not take a pointer-to-bool conversion).
using MVKRemoteConfigDefault =
    std::variant<bool, std::int32_t, std::int64_t, float, double, std::string>;

/// Key to value, as the host sets its defaults and reads the applied values.
using MVKRemoteConfigParameters = std::map<std::string, MVKRemoteConfigDefault>;

}  // namespace mvk
