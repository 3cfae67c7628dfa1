#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mvk {

/// "column IN (?, ?, ?)" for three values.
inline std::string sqlSelectionIn(std::string_view column, std::size_t count) {
    std::string selection(column);
    selection += " IN (";
    for (std::size_t index = 0; index < count; ++index) {
        selection += index == 0 ? "?" : ", ?";
    }
    selection += ")";
    return selection;
}

}  // namespace mvk
