#include "purchases/AntiCheatLogic.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "foundation/Base64.hpp"
#include "foundation/Logger.hpp"
#include "foundation/Utf8.hpp"
#include "platform/BacklogBound.hpp"
#include "state/NotInitializedLine.hpp"

namespace mvk {

namespace {

constexpr const char* methodText = "VerifyPayment";

/// Runs `block`; whatever escapes it still completes the verification.
template <class Block>
void guarded(const ReceiptCompletion& completion, Block&& block) {
    try {
        block();
    } catch (const std::exception& error) {
        Logger::writeLog(MVKLogLevel::error,
                         std::string("Receipt verification has failed: ") + error.what());
        completion.fail();
    } catch (...) {
        Logger::writeLog(MVKLogLevel::error, "Receipt verification has failed");
        completion.fail();
    }
}

void logReadError(const std::string& reason) {
    Logger::writeLog(MVKLogLevel::error, "Couldn't read receipt data. Error: " + reason);
}

}  // namespace

AntiCheatLogic::AntiCheatLogic(SerialQueue& incomeQueue, SerialQueue& anticheatQueue,
                               std::shared_ptr<ApplicationInfo> applicationInfo)
    : incomeQueue_(incomeQueue),
      anticheatQueue_(anticheatQueue),
      applicationInfo_(std::move(applicationInfo)) {}

std::shared_ptr<AntiCheatServiceProctocol> AntiCheatLogic::antiCheatService() const {
    std::lock_guard lock(mutex_);
    return antiCheatService_;
}

void AntiCheatLogic::setAntiCheatService(std::shared_ptr<AntiCheatServiceProctocol> service) {
    std::lock_guard lock(mutex_);
    std::swap(antiCheatService_, service);
}

template <class Check>
void AntiCheatLogic::queueCheck(ReceiptCompletion completion, HeldBytes held, Check check) {
    // The block with its captures, and the host's completion behind them.
    constexpr std::size_t blockBytes = sizeof(Check) + sizeof(ReceiptCompletion) + 160;
    auto charge = BacklogBound::incomeQueue().admitPastBound(blockBytes + held.bytes());
    incomeQueue_.addOperation([weak = weak_from_this(), completion = std::move(completion),
                               check = std::move(check), charge = std::move(charge)]() mutable {
        guarded(completion, [&] {
            auto logic = weak.lock();
            if (!logic) {
                completion.fail();
                return;
            }
            check(*logic, completion);
        });
    });
}

std::shared_ptr<AntiCheatServiceProctocol> AntiCheatLogic::serviceOrLog() const {
    auto service = antiCheatService();
    if (!service) {
        NotInitializedLine::shared().dropped(methodText);
    }
    return service;
}

void AntiCheatLogic::verifyPayment(std::string receiptString, ReceiptCompletion completionHandler) {
    const auto held = heldBytes(receiptString);
    queueCheck(std::move(completionHandler), held,
               [receipt = std::move(receiptString)](AntiCheatLogic& logic,
                                                    const ReceiptCompletion& completion) {
                   auto text = Utf8::sanitized(receipt);
                   const auto service = logic.serviceOrLog();
                   if (!service) {
                       completion.fail();
                       return;
                   }
                   if (text.empty()) {
                       Logger::writeLog(MVKLogLevel::error, "Invalid receipt data.");
                       completion.fail();
                       return;
                   }
                   logic.send(*service, std::move(text), completion);
               });
}

void AntiCheatLogic::verifyPaymentWithCompletion(ReceiptCompletion completionHandler) {
    queueCheck(std::move(completionHandler), heldBytes(),
               [](AntiCheatLogic& logic, const ReceiptCompletion& completion) {
                   const auto service = logic.serviceOrLog();
                   if (!service) {
                       completion.fail();
                       return;
                   }
                   auto receipt = logic.getReceipt();
                   if (!receipt) {
                       completion.fail();
                       return;
                   }
                   logic.send(*service, std::move(*receipt), completion);
               });
}

void AntiCheatLogic::send(AntiCheatServiceProctocol& service, std::string receiptText,
                          ReceiptCompletion completion) {
    auto context = service.requestContext();
    // The executable's name the application info falls back on is no bundle
    // identifier the gateway could check the receipt against.
    context.bundle = applicationInfo_->givenBundleIdentifier();
    anticheatQueue_.addOperation([weak = weak_from_this(), receiptText = std::move(receiptText),
                                  context = std::move(context),
                                  completion = std::move(completion)] {
        guarded(completion, [&] {
            const Receipt receipt{.receipt = ReceiptData{.receiptData = receiptText},
                                  .bundle = context.bundle};
            auto logic = weak.lock();
            auto service = logic ? logic->antiCheatService() : nullptr;
            if (!service) {
                completion.fail();
                return;
            }
            completion.complete(service->receiveReceiptStatus(receipt, context));
        });
    });
}

std::optional<std::string> AntiCheatLogic::getReceipt() const {
    const auto path = applicationInfo_->appStoreReceiptPath();
    if (!path) {
        return std::nullopt;
    }
    struct stat status {};
    if (::stat(path->c_str(), &status) != 0) {
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR) {
            logReadError(std::system_category().message(error));
        }
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        logReadError("the receipt path does not name a regular file");
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(status.st_size) > maxReceiptBytes) {
        logReadError("the receipt file is larger than 16 MiB");
        return std::nullopt;
    }
    std::ifstream file(*path, std::ios::binary);
    if (!file) {
        logReadError("the receipt file cannot be opened");
        return std::nullopt;
    }
    // The file may grow between the check and the read: read no more than
    // the limit allows, and refuse what is beyond it.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    char chunk[64 * 1024];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (bytes.size() > maxReceiptBytes) {
            logReadError("the receipt file is larger than 16 MiB");
            return std::nullopt;
        }
    }
    if (file.bad()) {
        logReadError("the receipt file cannot be read");
        return std::nullopt;
    }
    if (bytes.empty()) {
        Logger::writeLog(MVKLogLevel::error, "Invalid receipt data.");
        return std::nullopt;
    }
    return base64Encode(bytes);
}

}  // namespace mvk
