#pragma once

namespace mvk {

/// libcurl's process-wide set-up, done once before the first use of curl and
/// never undone (a queue thread may still send while the process exits).
class CurlGlobal {
  public:
    CurlGlobal() = delete;

    static void ensureInitialized();
};

}  // namespace mvk
