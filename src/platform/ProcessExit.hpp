#pragma once

#include <chrono>

namespace mvk {

/// The process is on its way out (`exit()` or a return from `main` has begun
/// running the atexit handlers). Library threads check this flag to abort
/// transfers and stop starting queued blocks, so that nothing of ours is still
/// running while the C runtime and OpenSSL tear themselves down.
///
/// At exit the handler raises the flag, then waits up to `longestExitWait`
/// for the work counted by `InFlight` guards on other threads to end. Guards
/// held by the exiting thread itself are not waited for (the host may call
/// `exit()` from a callback we run).
class ProcessExit {
  public:
    ProcessExit() = delete;

    static constexpr std::chrono::milliseconds longestExitWait{2000};

    /// Counts one piece of library work (a queue block, a transfer) for the
    /// exit handler to wait for while the guard lives. Cheap; may nest.
    class InFlight {
      public:
        InFlight();
        ~InFlight();
        InFlight(const InFlight&) = delete;
        InFlight& operator=(const InFlight&) = delete;
    };

    /// Registers the atexit handler; idempotent. Called when the first
    /// library thread or transfer comes to life.
    static void install();

    /// True once the process has begun to exit.
    static bool isExiting() noexcept;

    /// Raises the flag as the atexit handler would, without waiting (tests only).
    static void markExitingForTesting() noexcept;
    static void resetForTesting() noexcept;
};

}  // namespace mvk
