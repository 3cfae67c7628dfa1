#pragma once

namespace mvk {

/// The children's-privacy switch. It is kept for the whole process, not per
/// core, and only ever turned on: a host that asked for it once must not have
/// a core made after `destroySDK` read the device's identifiers again.
class CoppaControl {
  public:
    CoppaControl() = delete;

    static bool isEnabled();
    static void enable();

    /// For tests, which share one process: turns the switch off again.
    static void resetForTesting();
};

}  // namespace mvk
