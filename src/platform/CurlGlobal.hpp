#pragma once

namespace mvk {

/// libcurl's and OpenSSL's process-wide set-up, done once before the first use
/// of curl and never undone, not even by OpenSSL at exit: a queue thread may
/// still send while the process exits.
class CurlGlobal {
  public:
    CurlGlobal() = delete;

    static void ensureInitialized();
};

}  // namespace mvk
