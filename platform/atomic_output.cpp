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

int SystemLink(int fd, int dir_fd, const char* name) {
    int rc = ::linkat(AT_FDCWD, ProcFd(fd).c_str(), dir_fd, name, AT_SYMLINK_FOLLOW);
    if (rc != 0 && errno == ENOENT) rc = ::linkat(fd, "", dir_fd, name, AT_EMPTY_PATH);
    return rc;
}

int SystemFolderSync(int dir_fd) {
    // The folder is held by an O_PATH descriptor, which cannot be synced.
    int fd = ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    int rc = ::fsync(fd);
    int err = errno;
    ::close(fd);
    errno = err;
    return rc;
}

}  // namespace

OutputCalls& CurrentOutputCalls() {
    static OutputCalls calls{
        [](int dir_fd) { return ::openat(dir_fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666); },
        ::fdatasync,
        SystemLink,
        [](int dir_fd, const char* from, const char* to) { return ::renameat(dir_fd, from, dir_fd, to); },
        SystemFolderSync,
    };
    return calls;
}

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

namespace {

// The folder of the target and its name in it.
void SplitTarget(const std::string& target, std::string& folder, std::string& name) {
    if (target.empty()) throw VbError(kErrBadFileNumber);
    std::size_t slash = target.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") throw VbError(kErrPathFileAccess);
}

// What stands at the target now: a file keeps its permissions (true, its
// status in `st`), a symbolic link is replaced, anything else is not ours
// to replace.
bool FileToKeepModeOf(int dir_fd, const std::string& name, struct stat& st) {
    if (::fstatat(dir_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISLNK(st.st_mode)) return false;
    if (!S_ISREG(st.st_mode)) throw VbError(kErrPathFileAccess);
    if (::faccessat(dir_fd, name.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) Fail(errno);
    return true;
}

// An unnamed file in the folder; -1 where its file system has none.
int OpenUnnamed(int dir_fd) {
    int fd = CurrentOutputCalls().open_unnamed(dir_fd);
    if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) Fail(errno);
    return fd;
}

// A file of a hidden name of our own, the name put in `temp_name`.
template <class NewName>
int CreateHidden(int dir_fd, std::string& temp_name, NewName new_name) {
    for (;;) {
        std::string temp = new_name();
        int fd = ::openat(dir_fd, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temp_name = temp;
            return fd;
        }
        if (errno != EEXIST) Fail(errno);
    }
}

// The new file gets the old one's permissions and, when we may, owner.
void TakeModeOf(int fd, const struct stat& st) {
    ::fchmod(fd, st.st_mode & 07777);
    if (::geteuid() == 0 && ::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // The file stays the caller's; its contents are what matters.
    }
}

}  // namespace

void AtomicOutput::Open(const std::string& target, Access access) {
    Discard();
    std::string folder, name;
    SplitTarget(target, folder, name);

    int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) Fail(errno);
    dir_fd_ = dir;
    target_ = name;

    // On failure from here on, the folder is let go and a temporary file
    // of ours removed.
    try {
        struct stat st {};
        bool keep_mode = FileToKeepModeOf(dir_fd_, name, st);
        const bool proc = ProcAvailable();
        int fd = proc || access == Access::OwnFd ? OpenUnnamed(dir_fd_) : -1;
        // No unnamed files here: a hidden name of our own.
        if (fd < 0) fd = CreateHidden(dir_fd_, temp_name_, [this] { return NewTempName(); });
        fd_ = fd;
        if (keep_mode) TakeModeOf(fd_, st);
        if (temp_name_.empty()) shared_path_ = ProcFd(fd_);
        else if (proc) shared_path_ = ProcFd(dir_fd_) + "/" + temp_name_;
        else shared_path_ = folder + "/" + temp_name_;
    } catch (...) {
        Discard();
        throw;
    }
}

void AtomicOutput::Commit() {
    if (fd_ < 0) throw VbError(kErrBadFileNumber);
    const OutputCalls& calls = CurrentOutputCalls();
    // The data reach the disk, and a failure to write them is reported,
    // before the file has any name a reader could meet: renaming first
    // could leave, after a power cut, the name on a file of zeros or of
    // nothing. fdatasync also has the disk empty its own write cache. A file
    // system that cannot sync (EINVAL) gives what it can.
    if (calls.data_sync(fd_) != 0 && errno != EINVAL) Fail(errno);
    if (temp_name_.empty()) {
        // Give the unnamed file a hidden name first: a link cannot replace
        // an existing name, a rename can.
        for (;;) {
            std::string temp = NewTempName();
            if (calls.link(fd_, dir_fd_, temp.c_str()) == 0) {
                temp_name_ = temp;
                break;
            }
            if (errno != EEXIST) Fail(errno);
        }
    }
    if (calls.rename(dir_fd_, temp_name_.c_str(), target_.c_str()) != 0) Fail(errno);
    temp_name_.clear();
    struct stat st {};
    if (::fstat(fd_, &st) == 0) {
        committed_ = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }
    // The new name is on the disk too only once the folder is synced, as
    // package managers and editors do; until then a power cut could bring
    // back the earlier file.
    int synced = calls.folder_sync(dir_fd_);
    int err = errno;
    Discard();
    if (synced != 0 && err != EINVAL) Fail(err);
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
