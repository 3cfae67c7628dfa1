#pragma once

#include <optional>

#include "device/IdentifierGatewayProtocol.hpp"

namespace mvk {

/// The identifier record, chosen once per run: choosing it rotates the stored
/// identifiers, so a second choice in the same run would lose the previous one.
/// A change of the system's identifiers is seen at the next start. Used from
/// the income queue only.
class IdentifierGateway final : public IdentifierGatewayProtocol {
  public:
    explicit IdentifierGateway(
        std::shared_ptr<IdentifierInfoRepositoryProtocol> identifierInfoRepository);

    std::shared_ptr<IdentifierInfoRepositoryProtocol> identifierInfoRepository() const override;
    IdentifierData identifierData() override;

  private:
    const std::shared_ptr<IdentifierInfoRepositoryProtocol> identifierInfoRepository_;
    std::optional<IdentifierData> identifierData_;
};

}  // namespace mvk
