#include "platform/textfile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/errors.h"

namespace tw {

namespace {

constexpr std::size_t kWriteBuffer = 1 << 16;
constexpr std::size_t kStartWriteBack = std::size_t{4} << 20;

[[noreturn]] void ThrowErrno(int err, bool input, const std::string& path) {
    int number = ErrorFromErrno(err, input);
    if (err == ENOENT && input && !ParentFolderExists(path)) number = kErrPathNotFound;
    throw VbError(number);
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

InputFile::~InputFile() { Close(); }

void InputFile::Open(const std::string& path) {
    Close();
    if (path.empty()) throw VbError(kErrBadFileNumber);
    // Non-blocking, so a pipe opens at once and is then refused with the
    // rest of what is not a regular file.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) ThrowErrno(errno, true, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw VbError(kErrPathFileAccess);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
}

FileIdentity InputFile::Identity() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void InputFile::ReadAll(ByteBuffer& into) {
    if (fd_ < 0) throw VbError(kErrBadFileNumber);
    struct stat st {};
    std::size_t capacity = 0;
    if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        capacity = static_cast<std::size_t>(st.st_size);
    }
    // One spare byte lets the read that sees the end fit without growing.
    capacity += 1;
    LargeArray<char> data = MakeLargeArray<char>(capacity);
    std::size_t used = 0;
    for (;;) {
        if (used == capacity) {
            std::size_t grown = capacity + capacity / 2 + 65536;
            LargeArray<char> bigger = MakeLargeArray<char>(grown);
            std::memcpy(bigger.get(), data.get(), used);
            data = std::move(bigger);
            capacity = grown;
        }
        ssize_t n = ::read(fd_, data.get() + used, capacity - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowErrno(errno, true, "");
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    into.Adopt(std::move(data), used);
}

std::string InputFile::ReadAll() {
    ByteBuffer b;
    ReadAll(b);
    return std::string(b.View());
}

void InputFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// An output never closed is dropped: only a complete file replaces its target.
OutputFile::~OutputFile() { Discard(); }

void OutputFile::Open(const std::string& path, Mode mode) {
    if (fd_ >= 0) Discard();
    if (path.empty()) throw VbError(kErrBadFileNumber);
    if (mode == Mode::Output) {
        output_.Open(path);
        fd_ = output_.Fd();
    } else {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_APPEND, 0666);
        if (fd < 0) ThrowErrno(errno, false, path);
        fd_ = fd;
    }
    buffer_.clear();
    buffer_.reserve(kWriteBuffer);
    written_ = started_ = 0;
}

void OutputFile::Write(std::string_view bytes) {
    if (fd_ < 0) throw VbError(kErrBadFileNumber);
    if (buffer_.size() + bytes.size() > kWriteBuffer) {
        Flush();
        if (bytes.size() >= kWriteBuffer) {
            buffer_.assign(bytes);
            Flush();
            return;
        }
    }
    buffer_.append(bytes);
}

void OutputFile::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            buffer_.erase(0, done);
            throw VbError(ErrorFromErrno(err, false));
        }
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    written_ += done;
    // An output is written out to the disk before it takes its name.
    // Starting the disk writes of each few megabytes as they are written
    // leaves little to wait for then; a failure here is reported then.
    if (output_.IsOpen() && written_ - started_ >= kStartWriteBack) {
        ::sync_file_range(fd_, static_cast<off_t>(started_), static_cast<off_t>(written_ - started_),
                          SYNC_FILE_RANGE_WRITE);
        started_ = written_;
    }
}

void OutputFile::Close() {
    if (fd_ < 0) return;
    Flush();
    if (output_.IsOpen()) {
        output_.Commit();
        fd_ = -1;
        return;
    }
    int rc = ::close(fd_);
    fd_ = -1;
    if (rc != 0 && errno != EINTR) throw VbError(ErrorFromErrno(errno, false));
}

void OutputFile::Discard() {
    if (fd_ < 0) return;
    if (output_.IsOpen()) {
        output_.Discard();
    } else {
        try {
            Flush();
        } catch (const VbError&) {
            // What could not be appended is lost with the file's closing.
        }
        ::close(fd_);
    }
    fd_ = -1;
    buffer_.clear();
}

bool FolderExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ParentFolderExists(const std::string& path) { return FolderExists(FolderOf(path)); }

bool ReplaceFileAtomically(const std::string& path, std::string_view contents) {
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && (::access(path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0)) return false;
    std::string tmp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < contents.size()) {
        ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<std::size_t>(n);
    }
    ok = ::close(fd) == 0 && ok;
    if (ok) ::chmod(tmp.c_str(), exists ? (st.st_mode & 07777) : 0644);
    if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

}  // namespace tw
