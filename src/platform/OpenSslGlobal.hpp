#pragma once

namespace mvk {

/// OpenSSL's process-wide set-up, done before the library's first use of it
/// (random bytes, a digest, a transfer) and never undone. The first
/// initialisation decides whether OpenSSL frees its state in an atexit
/// handler; it must not, since a queue thread may still use it while the
/// process exits, and that handler would run before ours, which waits for
/// such work.
class OpenSslGlobal {
  public:
    OpenSslGlobal() = delete;

    static void ensureInitialized();
};

}  // namespace mvk
