#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/SecureStoreProtocol.hpp"

namespace mvk {

/// The secure store as one file in a directory of the application's own
/// ("mvk-secure-store.json", a JSON object of account to value). The directory
/// is made with mode 0700, the file with 0600; each change writes a temporary
/// file in the same directory and renames it over the old one, so a crash
/// leaves the old file or the new one, never half of either.
///
/// Every operation reads the file again: instances are cheap and may be made
/// per call, and they share one process-wide lock.
class FileSecureStore final : public SecureStoreProtocol {
  public:
    static constexpr const char* fileName = "mvk-secure-store.json";
    /// A larger file is not read at all: it cannot be one this store wrote.
    static constexpr std::size_t maxFileBytes = 256 * 1024;

    explicit FileSecureStore(std::filesystem::path directory);

    std::optional<std::string> get(const std::string& account) override;
    bool set(const std::string& account, const std::string& value) override;
    bool remove(const std::string& account) override;

    const std::filesystem::path& path() const { return path_; }

  private:
    using Values = std::map<std::string, std::string>;

    /// Nothing when the file exists but cannot be read, so a change does not
    /// overwrite values it never saw; a damaged file reads as empty.
    /// Both add their failures to `problems` for the caller to log once the
    /// lock is released.
    std::optional<Values> load(std::vector<std::string>& problems) const;
    bool save(const Values& values, std::vector<std::string>& problems) const;

    std::filesystem::path directory_;
    std::filesystem::path path_;
};

}  // namespace mvk
