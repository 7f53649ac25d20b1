#include "platform/atomic_output.h"

#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errors.h"

namespace tw {

namespace {

[[noreturn]] void Fail(int err) { throw VbError(ErrorFromErrno(err, false)); }

std::string ProcFd(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool ProcAvailable() { return ::access("/proc/self/fd", X_OK) == 0; }

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path, bool follow_links) {
    struct stat st {};
    int rc = follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (rc != 0) return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::string AtomicOutput::NewTempName() {
    static std::atomic<unsigned> counter{0};
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    return ".tarnwick-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(ts.tv_nsec) + ".tmp";
}

void AtomicOutput::Open(const std::string& target, Access access) {
    Discard();
    if (target.empty()) throw VbError(kErrBadFileNumber);
    std::size_t slash = target.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") throw VbError(kErrPathFileAccess);

    int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) Fail(errno);
    dir_fd_ = dir;
    target_ = name;

    // What stands at the target now: a file keeps its permissions, a
    // symbolic link is replaced, anything else is not ours to replace.
    struct stat st {};
    bool keep_mode = false;
    if (::fstatat(dir_fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISREG(st.st_mode)) {
            if (::faccessat(dir_fd_, name.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
                int err = errno;
                Discard();
                Fail(err);
            }
            keep_mode = true;
        } else if (!S_ISLNK(st.st_mode)) {
            Discard();
            throw VbError(kErrPathFileAccess);
        }
    }

    const bool proc = ProcAvailable();
    int fd = -1;
    if (proc || access == Access::OwnFd) {
        fd = ::openat(dir_fd_, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
            int err = errno;
            Discard();
            Fail(err);
        }
    }
    if (fd < 0) {
        // No unnamed files here: a hidden name of our own, removed again
        // on failure.
        for (;;) {
            std::string temp = NewTempName();
            fd = ::openat(dir_fd_, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                temp_name_ = temp;
                break;
            }
            if (errno != EEXIST) {
                int err = errno;
                Discard();
                Fail(err);
            }
        }
    }
    fd_ = fd;
    if (keep_mode) {
        ::fchmod(fd_, st.st_mode & 07777);
        if (::geteuid() == 0 && ::fchown(fd_, st.st_uid, st.st_gid) != 0) {
            // The file stays the caller's; its contents are what matters.
        }
    }
    if (temp_name_.empty()) shared_path_ = ProcFd(fd_);
    else if (proc) shared_path_ = ProcFd(dir_fd_) + "/" + temp_name_;
    else shared_path_ = folder + "/" + temp_name_;
}

void AtomicOutput::Commit() {
    if (fd_ < 0) throw VbError(kErrBadFileNumber);
    // Its bytes are on the disk, and a failure to write them is reported,
    // before the file takes its name; a journalling file system records
    // the name after them, so even a power cut leaves the old file or the
    // new one whole. The disk's own cache is not flushed on top, as cp and sed
    // do not either: that flush costs a large output a quarter of its time,
    // and a converted file can always be converted again.
    int all = SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    if (::sync_file_range(fd_, 0, 0, static_cast<unsigned>(all)) != 0 && errno != EINVAL) Fail(errno);
    if (temp_name_.empty()) {
        // Give the unnamed file a hidden name first: a link cannot replace
        // an existing name, a rename can.
        for (;;) {
            std::string temp = NewTempName();
            int rc = ::linkat(AT_FDCWD, ProcFd(fd_).c_str(), dir_fd_, temp.c_str(), AT_SYMLINK_FOLLOW);
            if (rc != 0 && errno == ENOENT) rc = ::linkat(fd_, "", dir_fd_, temp.c_str(), AT_EMPTY_PATH);
            if (rc == 0) {
                temp_name_ = temp;
                break;
            }
            if (errno != EEXIST) Fail(errno);
        }
    }
    if (::renameat(dir_fd_, temp_name_.c_str(), dir_fd_, target_.c_str()) != 0) Fail(errno);
    temp_name_.clear();
    struct stat st {};
    if (::fstat(fd_, &st) == 0) {
        committed_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }
    Discard();
}

void AtomicOutput::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_name_.empty() && dir_fd_ >= 0) ::unlinkat(dir_fd_, temp_name_.c_str(), 0);
    temp_name_.clear();
    if (dir_fd_ >= 0) ::close(dir_fd_);
    dir_fd_ = -1;
    shared_path_.clear();
}

}  // namespace tw
