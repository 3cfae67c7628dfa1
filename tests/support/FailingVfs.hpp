#pragma once

#include <atomic>

struct sqlite3_vfs;

namespace mvk::test {

/// SQLite's default file layer with a fault a test arms: while an object
/// lives, the connections opened from then on go through it, and the writes
/// it was told to fail answer SQLITE_FULL as a full disk does. One at a time.
class FailingVfs {
  public:
    FailingVfs();
    ~FailingVfs();
    FailingVfs(const FailingVfs&) = delete;
    FailingVfs& operator=(const FailingVfs&) = delete;

    /// Fails the next `count` writes to a write-ahead log: a commit writes
    /// there first, so the next commit fails.
    void failLogWrites(int count = 1) { pending_.store(count); }
    /// Fails every write that would make a write-ahead log longer than
    /// `bytes` (0: no bound), as a nearly full disk does; a log cut short
    /// has room again.
    void limitLog(long long bytes) { logRoom_.store(bytes); }
    /// The writes failed so far.
    int failed() const { return failed_.load(); }

    /// For the file layer: true when this write to a log, which ends at
    /// `end`, must fail.
    static bool failsLogWrite(long long end);

  private:
    sqlite3_vfs* previous_ = nullptr;
    std::atomic<int> pending_{0};
    std::atomic<long long> logRoom_{0};
    std::atomic<int> failed_{0};
};

}  // namespace mvk::test
