#pragma once

#include <cstddef>

namespace mvk {

/// Memory for queued jobs: allocated on the host's threads, released on a
/// queue's thread, usually in the order it was allocated.
class JobMemory {
  public:
    JobMemory() = delete;

    /// Throws `std::bad_alloc` as `operator new` does.
    static void* allocate(std::size_t size);
    static void release(void* memory) noexcept;
};

}  // namespace mvk
