#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>

namespace mvk::test {

/// What the durability child tells its parent, and the parent's one order,
/// in a small file both map. The mapping lives in the page cache, so what
/// the child wrote is still there after a SIGKILL.
struct DurabilityControl {
    enum Stage : std::int32_t {
        spawned = 0,
        /// `initialize` is about to be called.
        starting = 1,
        /// The host's start-up callback has run.
        started = 2,
        /// Events are being played.
        playing = 3,
        /// The backlog is played and `sendBufferedEvents` is about to be called.
        packing = 4,
    };

    /// The sequence number of the newest event the child is about to play;
    /// written before the public call, so a kill between the two leaves it
    /// one ahead of what was really played, never behind.
    std::atomic<std::int64_t> announced;
    std::atomic<std::int32_t> stage;
    /// Set by the parent: end the run cleanly.
    std::atomic<std::int32_t> quit;

    static_assert(std::atomic<std::int64_t>::is_always_lock_free);
    static_assert(std::atomic<std::int32_t>::is_always_lock_free);
};

/// The control block mapped from `file` (created zeroed when `create`);
/// null when that fails. Never unmapped: it is small and lives as long as
/// the run.
inline DurabilityControl* mapDurabilityControl(const std::filesystem::path& file, bool create) {
    const int fd = ::open(file.c_str(), O_RDWR | (create ? O_CREAT | O_TRUNC : 0), 0600);
    if (fd < 0) {
        return nullptr;
    }
    if (create && ::ftruncate(fd, sizeof(DurabilityControl)) != 0) {
        ::close(fd);
        return nullptr;
    }
    void* address =
        ::mmap(nullptr, sizeof(DurabilityControl), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    return address == MAP_FAILED ? nullptr : static_cast<DurabilityControl*>(address);
}

}  // namespace mvk::test
