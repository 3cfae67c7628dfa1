#pragma once

namespace mvk {

/// Verifies purchase receipts with the gateway.
class AntiCheatServiceProctocol {
  public:
    virtual ~AntiCheatServiceProctocol() = default;
};

}  // namespace mvk
