#include "state/LegacyFileReader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace mvk {

namespace {

class ReadOnlyFile {
  public:
    // Non-blocking, so a pipe left under that name cannot stall start-up.
    explicit ReadOnlyFile(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~ReadOnlyFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    int get() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::optional<std::string> LegacyFileReader::read(const std::filesystem::path& file,
                                                  std::uintmax_t maxBytes) {
    ReadOnlyFile handle(file);
    if (handle.get() < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(handle.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[8192];
    for (;;) {
        const ssize_t count = ::read(handle.get(), buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (count == 0) {
            return content;
        }
        // The file may grow while it is read.
        if (content.size() + static_cast<std::size_t>(count) > maxBytes) {
            return std::nullopt;
        }
        content.append(buffer, static_cast<std::size_t>(count));
    }
}

}  // namespace mvk
