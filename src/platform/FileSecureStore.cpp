#include "platform/FileSecureStore.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <nlohmann/json.hpp>
#include <system_error>
#include <vector>

#include "foundation/JsonCoding.hpp"
#include "foundation/Logger.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/SecureStoreLimits.hpp"

namespace mvk {

namespace {

// One lock for every instance: callers make a fresh store per operation.
std::mutex& storeMutex() {
    static auto* mutex = new std::mutex();
    return *mutex;
}

std::string errnoText() {
    return std::error_code(errno, std::generic_category()).message();
}

void logError(const std::string& message) {
    Logger::writeLog(MVKLogLevel::error, "[Secure Store] " + message);
}

// The logger may call the host's closure, which must never run under the
// store's lock: failures are collected while it is held and written after.
void logErrors(const std::vector<std::string>& messages) {
    for (const auto& message : messages) {
        logError(message);
    }
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    /// Closes now and reports whether the close succeeded: on some file
    /// systems a failed write only shows here.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool writeAll(int fd, const std::string& data) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t n = ::write(fd, data.data() + written, data.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

bool makePrivateDirectory(const std::filesystem::path& directory,
                          std::vector<std::string>& problems) {
    // The folders we create hold device identifiers: nobody else may list them.
    if (auto error = ApplicationSupportDirectory::createPrivateDirectories(directory)) {
        problems.push_back("Cannot create the folder " + directory.string() + ": " +
                           error.message());
        return false;
    }
    return true;
}

}  // namespace

FileSecureStore::FileSecureStore(std::filesystem::path directory)
    : directory_(std::move(directory)),
      path_(directory_.empty() ? std::filesystem::path() : directory_ / fileName) {}

std::optional<std::string> FileSecureStore::get(const std::string& account) {
    std::vector<std::string> problems;
    std::optional<Values> values;
    {
        std::lock_guard lock(storeMutex());
        values = load(problems);
    }
    logErrors(problems);
    if (!values) {
        return std::nullopt;
    }
    auto found = values->find(account);
    if (found == values->end()) {
        return std::nullopt;
    }
    return found->second;
}

bool FileSecureStore::set(const std::string& account, const std::string& value) {
    if (!SecureStoreLimits::allows(account, value)) {
        logError("The value for " + Utf8::sanitized(account.substr(0, 64)) +
                 " was not saved: it is empty, too long or not text");
        return false;
    }
    std::vector<std::string> problems;
    bool saved = false;
    {
        std::lock_guard lock(storeMutex());
        if (auto values = load(problems)) {
            (*values)[account] = value;
            saved = save(*values, problems);
        }
    }
    logErrors(problems);
    return saved;
}

bool FileSecureStore::remove(const std::string& account) {
    std::vector<std::string> problems;
    bool removed = false;
    {
        std::lock_guard lock(storeMutex());
        auto values = load(problems);
        removed = values && values->erase(account) != 0 && save(*values, problems);
    }
    logErrors(problems);
    return removed;
}

std::optional<FileSecureStore::Values> FileSecureStore::load(
    std::vector<std::string>& problems) const {
    if (path_.empty()) {
        problems.push_back("No folder for the secure store");
        return std::nullopt;
    }
    FileDescriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (file.get() < 0) {
        if (errno == ENOENT) {
            return Values{};
        }
        problems.push_back("Cannot read " + path_.string() + ": " + errnoText());
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > maxFileBytes) {
        problems.push_back("The file " + path_.string() + " is not a secure store; it is ignored");
        return Values{};
    }
    std::string text;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            problems.push_back("Cannot read " + path_.string() + ": " + errnoText());
            return std::nullopt;
        }
        if (n == 0 || text.size() + static_cast<std::size_t>(n) > maxFileBytes) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }

    // The library's one bounded parser: a file is as untrusted as an answer.
    const auto json = parseJson(text);
    if (!json || !json->is_object()) {
        problems.push_back("The file " + path_.string() + " is damaged; its values are lost");
        return Values{};
    }
    Values values;
    for (const auto& [account, value] : json->items()) {
        if (value.is_string() && SecureStoreLimits::allows(account, value.get<std::string>())) {
            values.emplace(account, value.get<std::string>());
        }
    }
    return values;
}

bool FileSecureStore::save(const Values& values, std::vector<std::string>& problems) const {
    if (!makePrivateDirectory(directory_, problems)) {
        return false;
    }
    // Written through the same writer as every record; the map's order keeps
    // the keys sorted as before.
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const auto& [account, value] : values) {
        json[account] = value;
    }
    const std::string text = dumpJson(json);

    std::string temporary = path_.string() + ".tmp-XXXXXX";
    FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0) {
        problems.push_back("Cannot write in " + directory_.string() + ": " + errnoText());
        return false;
    }
    const bool written = ::fchmod(file.get(), 0600) == 0 && writeAll(file.get(), text) &&
                         ::fsync(file.get()) == 0 && file.close();
    if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
        problems.push_back("Cannot write " + path_.string() + ": " + errnoText());
        ::unlink(temporary.c_str());
        return false;
    }
    // Makes the rename itself survive a power cut; the data is safe either way.
    FileDescriptor folder(::open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) {
        ::fsync(folder.get());
    }
    return true;
}

}  // namespace mvk
