#pragma once

namespace mvk {

/// The process is on its way out (`exit()` or a return from `main` has begun
/// running the atexit handlers). Library threads check this flag to abort
/// transfers and stop starting queued blocks, so that nothing of ours is still
/// running while the C runtime and OpenSSL tear themselves down.
class ProcessExit {
  public:
    ProcessExit() = delete;

    /// Registers the atexit handler that raises the flag; idempotent. Called
    /// when the first library thread or transfer comes to life.
    static void install();

    /// True once the process has begun to exit.
    static bool isExiting() noexcept;

    /// Raises the flag as the atexit handler would (tests only).
    static void markExitingForTesting() noexcept;
    static void resetForTesting() noexcept;
};

}  // namespace mvk
