#pragma once

#include <filesystem>

namespace demo {

/// Prints every non-empty table of the library's database, read-only, and
/// counts the empty ones.
void printDatabase(const std::filesystem::path& file);

}  // namespace demo
