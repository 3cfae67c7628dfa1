#include "platform/OpenSslGlobal.hpp"

#include <openssl/crypto.h>

#include <mutex>

namespace mvk {

void OpenSslGlobal::ensureInitialized() {
    static std::once_flag once;
    std::call_once(once, [] { OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr); });
}

}  // namespace mvk
