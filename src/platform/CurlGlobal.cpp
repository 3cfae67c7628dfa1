#include "platform/CurlGlobal.hpp"

#include <curl/curl.h>

#include <mutex>

#include "platform/OpenSslGlobal.hpp"
#include "platform/ProcessExit.hpp"

namespace mvk {

void CurlGlobal::ensureInitialized() {
    // curl_global_init must not race with itself or with the first handle.
    static std::once_flag once;
    std::call_once(once, [] {
        // Before libcurl's initialisation, which would otherwise be OpenSSL's
        // first and register its clean-up at exit.
        OpenSslGlobal::ensureInitialized();
        curl_global_init(CURL_GLOBAL_DEFAULT);
        ProcessExit::install();
    });
}

}  // namespace mvk
