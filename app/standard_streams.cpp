#include "app/standard_streams.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "platform/errors.h"

namespace tw {

namespace {

// Writes all of `n` bytes; false with errno set when that fails.
bool WriteAll(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

Status FromErrno(int err) {
    int number = ErrorFromErrno(err, false);
    return Status::Failed(number, ErrorDescription(number));
}

}  // namespace

std::uint64_t StandardInputLimit() {
    if (const char* v = std::getenv("TARNWICK_STDIN_LIMIT")) {
        char* end = nullptr;
        unsigned long long n = std::strtoull(v, &end, 10);
        if (*v && *end == '\0') return n;
    }
    return std::uint64_t{1} << 30;
}

StandardInputCopy::~StandardInputCopy() {
    if (fd_ >= 0) ::close(fd_);
}

Status StandardInputCopy::Read(std::uint64_t limit) {
    fd_ = ::memfd_create("tarnwick-stdin", MFD_CLOEXEC);
    if (fd_ < 0) return FromErrno(errno);
    path_ = "/proc/self/fd/" + std::to_string(fd_);
    std::vector<char> buf(1 << 20);
    std::uint64_t total = 0;
    for (;;) {
        ssize_t n = ::read(STDIN_FILENO, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int number = ErrorFromErrno(errno, true);
            return Status::Failed(number, ErrorDescription(number));
        }
        if (n == 0) return Status::Done();
        total += static_cast<std::uint64_t>(n);
        if (total > limit) {
            return Status::Refused("more than " + std::to_string(limit) +
                                   " bytes arrived, the most read from standard input; reading stopped");
        }
        if (!WriteAll(fd_, buf.data(), static_cast<std::size_t>(n))) return FromErrno(errno);
    }
}

ScratchFolder::ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarnwick-XXXXXX";
    if (!::mkdtemp(tmpl.data())) throw VbError(ErrorFromErrno(errno, false));
    path_ = tmpl;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

Status CopyToStandardOutput(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return FromErrno(errno);
    std::vector<char> buf(1 << 20);
    Status status;
    for (;;) {
        ssize_t n = ::read(fd, buf.data(), buf.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            status = FromErrno(errno);
            break;
        }
        if (n == 0) break;
        if (!WriteAll(STDOUT_FILENO, buf.data(), static_cast<std::size_t>(n))) {
            status = FromErrno(errno);
            break;
        }
    }
    ::close(fd);
    return status;
}

}  // namespace tw
