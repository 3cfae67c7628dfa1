#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/ApplicationSupportDirectory.hpp"

namespace mvk::bench {

// The database lives in the system's temporary folder, a real file system here
// (not a RAM disk), so an autocommit insert pays for its journal and sync.
class BenchDirectory {
  public:
    BenchDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "mvk-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
        ApplicationSupportDirectory::setOverride(path_);
    }
    ~BenchDirectory() {
        ApplicationSupportDirectory::setOverride(std::nullopt);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    BenchDirectory(const BenchDirectory&) = delete;
    BenchDirectory& operator=(const BenchDirectory&) = delete;

  private:
    std::filesystem::path path_;
};

// A custom event of a typical size (about 250 bytes of JSON).
inline const std::string typicalEventJson =
    R"({"code":"ce","timestamp":1700000000123,"sessionId":1700000000000,"level":3,)"
    R"("eventName":"level_complete","parameters":{"difficulty":"hard","score":12345,)"
    R"("time":93.5,"boss":"dragon","weapon":"bow","attempt":4},"inProgress":["Forest"]})";

}  // namespace mvk::bench
