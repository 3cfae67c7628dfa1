#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/HeldBytes.hpp"
#include "platform/ApplicationInfo.hpp"
#include "platform/SerialQueue.hpp"
#include "purchases/ReceiptCompletion.hpp"
#include "services/AntiCheatServiceProctocol.hpp"

namespace mvk {

/// Receipt verification. It exists as long as the core; start-up gives it its
/// service, which the host's calls may read from any thread.
///
/// The checks run on the income queue and the request on the anticheat
/// queue; the completion is called exactly once on every road, with the
/// internal-error status when a block fails or the logic is gone.
class AntiCheatLogic final : public std::enable_shared_from_this<AntiCheatLogic> {
  public:
    /// The largest receipt file that is read; a bigger one is a read error.
    static constexpr std::uintmax_t maxReceiptBytes = 16u * 1024u * 1024u;

    AntiCheatLogic(SerialQueue& incomeQueue, SerialQueue& anticheatQueue,
                   std::shared_ptr<ApplicationInfo> applicationInfo = ApplicationInfo::shared());
    AntiCheatLogic(const AntiCheatLogic&) = delete;
    AntiCheatLogic& operator=(const AntiCheatLogic&) = delete;

    std::shared_ptr<AntiCheatServiceProctocol> antiCheatService() const;
    void setAntiCheatService(std::shared_ptr<AntiCheatServiceProctocol> service);

    /// Verifies the host's receipt text.
    void verifyPayment(std::string receiptString, ReceiptCompletion completionHandler);
    /// Verifies the receipt file the host named on the application information.
    void verifyPaymentWithCompletion(ReceiptCompletion completionHandler);

    /// The receipt file's bytes as base64; none without a path or a file, and
    /// none after a level-2 line when the path cannot be read as a receipt.
    std::optional<std::string> getReceipt() const;

  private:
    /// Queues `check` on the income queue with the logic held weakly. Like
    /// a getter it is never refused at the backlog bound (its completion is
    /// answered in order), but charged for what `check` holds, `held`.
    template <class Check>
    void queueCheck(ReceiptCompletion completion, HeldBytes held, Check check);
    /// On the income queue: the service, or none after the not-initialised line.
    std::shared_ptr<AntiCheatServiceProctocol> serviceOrLog() const;
    void send(AntiCheatServiceProctocol& service, std::string receiptText,
              ReceiptCompletion completion);

    SerialQueue& incomeQueue_;
    SerialQueue& anticheatQueue_;
    const std::shared_ptr<ApplicationInfo> applicationInfo_;
    mutable std::mutex mutex_;
    std::shared_ptr<AntiCheatServiceProctocol> antiCheatService_;
};

}  // namespace mvk
