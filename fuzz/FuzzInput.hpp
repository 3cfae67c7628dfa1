#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace mvk::fuzz {

/// The fuzzer's bytes as text.
inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

/// Targets that group several decoders let the first byte choose one; the
/// rest of the input is that decoder's text.
struct Selected {
    std::uint8_t decoder = 0;
    std::string_view text;
};

inline Selected select(const std::uint8_t* data, std::size_t size, std::uint8_t decoders) {
    if (size == 0) {
        return {decoders, {}};
    }
    return {static_cast<std::uint8_t>(data[0] % decoders), textOf(data + 1, size - 1)};
}

/// A property every decoded value must keep; a broken one is a finding, so
/// the run stops here with the input saved.
inline void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

}  // namespace mvk::fuzz
