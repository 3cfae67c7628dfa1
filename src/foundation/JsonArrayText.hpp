#pragma once

#include <cstddef>
#include <string_view>

namespace mvk {

/// Whether `text` is one JSON array, read without building it: valid JSON
/// and UTF-8, nothing after it, containers nested at most `maxDepth` deep and
/// every number finite. Large stored texts are checked this way so that only
/// their bytes, never a tree of them, sit in memory.
bool isJsonArrayText(std::string_view text, std::size_t maxDepth);

}  // namespace mvk
