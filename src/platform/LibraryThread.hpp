#pragma once

#include <string_view>

namespace mvk {

/// What every thread the library owns does first, before it runs any work.
class LibraryThread {
  public:
    LibraryThread() = delete;

    /// Blocks SIGPIPE on the calling thread, so a write to a pipe whose reader
    /// is gone answers EPIPE instead of ending the host process; the host's
    /// own threads and its signal dispositions stay as they are. Also names
    /// the thread after the last part of `name`, for debuggers and crash logs.
    static void begin(std::string_view name);
};

}  // namespace mvk
