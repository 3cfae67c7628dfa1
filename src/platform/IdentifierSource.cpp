#include "platform/IdentifierSource.hpp"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cctype>
#include <fstream>

#include "foundation/Logger.hpp"
#include "platform/OpenSslGlobal.hpp"
#include "platform/Uuid.hpp"

namespace mvk {

namespace {

// Name-based UUIDs from a hash other than MD5 or SHA-1 carry version 8.
constexpr int kHashedUuidVersion = 8;

bool isMachineId(const std::string& text) {
    return text.size() == 32 &&
           std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isxdigit(c) != 0; }) &&
           text.find_first_not_of('0') != std::string::npos;
}

}  // namespace

IdentifierSource::IdentifierSource(std::shared_ptr<SecureStoreProtocol> store,
                                   std::shared_ptr<const ApplicationInfoProtocol> application,
                                   std::vector<std::filesystem::path> machineIdPaths)
    : store_(std::move(store)),
      application_(std::move(application)),
      machineIdPaths_(std::move(machineIdPaths)) {}

std::optional<std::string> IdentifierSource::advertisingIdentifier() {
    return std::nullopt;
}

bool IdentifierSource::isTrackingAuthorized() {
    return false;
}

std::optional<std::string> IdentifierSource::vendorIdentifier() {
    bool kept = true;
    std::optional<std::string> identifier;
    {
        std::lock_guard lock(mutex_);
        if (!vendorIdentifier_) {
            if (auto machineId = readMachineId(machineIdPaths_)) {
                vendorIdentifier_ =
                    applicationSpecificId(*machineId, application_->bundleIdentifier());
            }
        }
        if (!vendorIdentifier_) {
            vendorIdentifier_ = storedRandomIdentifier(kept);
        }
        identifier = vendorIdentifier_;
    }
    // The logger may call the host, which must never run under our lock.
    if (!kept) {
        Logger::writeLog(MVKLogLevel::error,
                         "The vendor identifier could not be kept; it will change at the next "
                         "start");
    }
    return identifier;
}

std::optional<std::string> IdentifierSource::readMachineId(
    const std::vector<std::filesystem::path>& paths) {
    for (const auto& path : paths) {
        std::ifstream file(path);
        std::string line;
        if (file && std::getline(file, line)) {
            std::transform(line.begin(), line.end(), line.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            if (isMachineId(line)) {
                return line;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> IdentifierSource::applicationSpecificId(
    const std::string& machineId, const std::string& bundleIdentifier) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    OpenSslGlobal::ensureInitialized();
    if (HMAC(EVP_sha256(), machineId.data(), static_cast<int>(machineId.size()),
             reinterpret_cast<const unsigned char*>(bundleIdentifier.data()),
             bundleIdentifier.size(), digest, &length) == nullptr ||
        length < Uuid::Bytes().size()) {
        return std::nullopt;
    }
    Uuid::Bytes bytes{};
    std::copy_n(digest, bytes.size(), bytes.begin());
    return Uuid::format(bytes, kHashedUuidVersion);
}

std::string IdentifierSource::storedRandomIdentifier(bool& kept) {
    if (auto stored = store_->get(vendorAccount); stored && Uuid::isValid(*stored)) {
        std::transform(stored->begin(), stored->end(), stored->begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        return *stored;
    }
    auto identifier = Uuid::random();
    kept = store_->set(vendorAccount, identifier);
    return identifier;
}

}  // namespace mvk
