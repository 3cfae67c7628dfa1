#include "platform/Uuid.hpp"

#include <openssl/rand.h>

#include <cctype>
#include <random>

#include "platform/OpenSslGlobal.hpp"

namespace mvk {

namespace {

constexpr bool isDash(std::size_t index) {
    return index == 8 || index == 13 || index == 18 || index == 23;
}

}  // namespace

std::string Uuid::random() {
    Bytes bytes{};
    OpenSslGlobal::ensureInitialized();
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
        // OpenSSL's generator only fails when it cannot be seeded; the kernel's
        // source behind random_device is the next best thing.
        std::random_device device;
        for (auto& byte : bytes) {
            byte = static_cast<std::uint8_t>(device());
        }
    }
    return format(bytes, 4);
}

std::string Uuid::format(Bytes bytes, int version) {
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | ((version & 0x0F) << 4));
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text += '-';
        }
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

bool Uuid::isValid(std::string_view text) {
    if (text.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool ok =
            isDash(i) ? text[i] == '-' : std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
        if (!ok) {
            return false;
        }
    }
    return true;
}

}  // namespace mvk
