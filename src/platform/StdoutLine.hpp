#pragma once

#include <string_view>

namespace mvk {

/// Writes one line to the process's standard output from any thread, the
/// host's included, without raising SIGPIPE when stdout is a pipe whose reader
/// is gone: the write then simply fails.
class StdoutLine {
  public:
    StdoutLine() = delete;

    static void write(std::string_view line);
};

}  // namespace mvk
