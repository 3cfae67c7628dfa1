#include "platform/CurlGlobal.hpp"

#include <curl/curl.h>
#include <openssl/crypto.h>

#include <mutex>

#include "platform/ProcessExit.hpp"

namespace mvk {

void CurlGlobal::ensureInitialized() {
    // curl_global_init must not race with itself or with the first handle.
    static std::once_flag once;
    std::call_once(once, [] {
        // OpenSSL's own atexit clean-up would free its state under a transfer
        // still running on a queue thread. The first initialisation decides,
        // so it happens before libcurl's, which would register that clean-up.
        OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
        curl_global_init(CURL_GLOBAL_DEFAULT);
        ProcessExit::install();
    });
}

}  // namespace mvk
