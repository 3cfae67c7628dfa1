#include "platform/CurlGlobal.hpp"

#include <curl/curl.h>

#include <mutex>

namespace mvk {

void CurlGlobal::ensureInitialized() {
    // curl_global_init must not race with itself or with the first handle.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace mvk
