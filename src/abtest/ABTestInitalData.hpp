#pragma once

namespace mvk {

/// Start-up values of the A/B part, set by the host before start-up.
struct ABTestInitalData {
    /// Seconds to wait for the experiments configuration.
    double abConfigWaiting = 0.0;
    /// Seconds to wait for the group offer.
    double abGroupWaiting = 10.0;
    /// Whether a test experiment's involvement survives a restart.
    bool cacheTestExperiment = false;

    friend bool operator==(const ABTestInitalData&, const ABTestInitalData&) = default;
};

}  // namespace mvk
